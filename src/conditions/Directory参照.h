// The folder browser "フォルダの参照": a drive list (mount points), the
// directory list of the chosen drive and the file names of the directory at
// hand. Created afresh for every browse (CommonModule::SelectDirectory).
//
// No meta-object macro here: moc cuts the class name at its first non-ASCII
// character, so the class has no signals or slots of its own and connects
// through lambdas.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

#include "conditions/MountTable.h"

class Prompts;
class QComboBox;
class QKeyEvent;
class QListWidget;
class QPushButton;

class Directory参照 : public QDialog {
public:
    // Starts on the drive holding the current directory, with Dir1 and File1
    // on the current directory. `prompts` reports failures (ordinary message
    // boxes when null); it must outlive the dialog.
    explicit Directory参照(QWidget* parent = nullptr, Prompts* prompts = nullptr);
    ~Directory参照() override;

    QComboBox* Drive1() const { return m_drive1; }
    QListWidget* Dir1() const { return m_dir1; }
    QListWidget* File1() const { return m_file1; }
    QPushButton* Ok() const { return m_ok; }
    QPushButton* Cancel() const { return m_cancel; }

    // Drive1's drive: a mount point. Setting another one runs Drive1_Change;
    // a drive the list lacks is added to it.
    QString Drive() const;
    void SetDrive(const QString& drive);

    // Dir1's path: an absolute directory path without symbolic links. Setting
    // it lists the directory and runs Dir1_Change; on failure Dir1 stays as it
    // was and `error` gets the failure's description.
    QString Dir1Path() const { return m_dir1Path; }
    bool SetDir1Path(const QString& path, QString* error = nullptr);

    // File1's path; File1 lists the names of that directory's files.
    QString File1Path() const { return m_file1Path; }
    void SetFile1Path(const QString& path);

    // Puts the three lists on `startPath` (relative paths count from the
    // current directory). A path that cannot be listed leaves the dialog as
    // it is.
    void Preset(const QString& startPath);

    void Drive1_Change();
    void Dir1_Change();
    void Ok_Click();
    void Cancel_Click();

    // Every way of closing without Ok (Cancel, the window's close button)
    // answers the empty text.
    void reject() override;
    // The answer: Dir1's path as Ok took it, "" after any other close.
    QString Answer() const { return m_answer; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int EnsureDrive(const QString& drive);
    QString DriveHolding(const QString& canonicalPath) const;
    void Dir1_DoubleClick(const QString& path);

    Prompts* m_prompts = nullptr;
    std::unique_ptr<Prompts> m_ownPrompts;
    std::vector<textrove::conditions::MountEntry> m_mounts;
    QString m_currentDirectory;  // the program's, as the dialog opened
    QString m_dir1Path;
    QString m_file1Path;
    QString m_answer;

    QComboBox* m_drive1 = nullptr;
    QListWidget* m_dir1 = nullptr;
    QListWidget* m_file1 = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
