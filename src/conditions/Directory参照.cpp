#include "conditions/Directory参照.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "conditions/ConditionsLayout.h"
#include "ui/Prompts.h"
#include "ui/TwipsWidget.h"

namespace {

using namespace textrove;
using namespace textrove::conditions;

constexpr int kPathRole = Qt::UserRole;

QString Describe(const QString& path, int error)
{
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

// The absolute path without symbolic links, "." or "..".
bool Canonical(const QString& path, QString* canonical, QString* error)
{
    const QString absolute = QDir::current().absoluteFilePath(path);
    char* resolved = ::realpath(QFile::encodeName(absolute).constData(), nullptr);
    if (!resolved) {
        if (error) *error = Describe(absolute, errno);
        return false;
    }
    *canonical = QFile::decodeName(resolved);
    std::free(resolved);
    return true;
}

struct Listing {
    QStringList directories;
    QStringList files;
};

// Names in a directory, hidden ones (leading '.') left out, each list sorted.
bool ListDirectory(const QString& path, Listing* listing, QString* error)
{
    const QByteArray bytes = QFile::encodeName(path);
    DIR* dir = ::opendir(bytes.constData());
    if (!dir) {
        if (error) *error = Describe(path, errno);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            QByteArray full = bytes;
            if (!full.endsWith('/')) full += '/';
            full += entry->d_name;
            struct stat info { };
            isDirectory = ::stat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        (isDirectory ? listing->directories : listing->files) << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    listing->directories.sort();
    listing->files.sort();
    return true;
}

bool IsWithin(const QString& path, const QString& root)
{
    return path == root || root == QLatin1String("/") || path.startsWith(root + QLatin1Char('/'));
}

QString JoinPath(const QString& directory, const QString& name)
{
    return directory.endsWith(QLatin1Char('/')) ? directory + name : directory + QLatin1Char('/') + name;
}

}  // namespace

Directory参照::Directory参照(QWidget* parent, Prompts* prompts) : QDialog(parent), m_prompts(prompts)
{
    if (!m_prompts) {
        m_ownPrompts = std::make_unique<Prompts>();
        m_prompts = m_ownPrompts.get();
    }
    setObjectName(QStringLiteral("Directory参照"));
    setWindowTitle(QStringLiteral("フォルダの参照"));
    const double dpi = LogicalDpi();
    resize(TwipsToPixels(kBrowserWidth, dpi), TwipsToPixels(kBrowserHeight, dpi));

    m_drive1 = new QComboBox(this);
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    m_dir1 = new QListWidget(this);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_file1 = new QListWidget(this);
    m_file1->setObjectName(QStringLiteral("File1"));
    m_file1->setSelectionMode(QAbstractItemView::NoSelection);
    m_ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    m_ok->setObjectName(QStringLiteral("Ok"));
    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    for (QPushButton* button : {m_ok, m_cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    ApplyTwips(m_drive1, kBrowserDrive1);
    ApplyTwips(m_dir1, kBrowserDir1);
    ApplyTwips(m_file1, kBrowserFile1);
    ApplyTwips(m_ok, kBrowserOk);
    ApplyTwips(m_cancel, kBrowserCancel);
    setTabOrder(m_drive1, m_dir1);
    setTabOrder(m_dir1, m_file1);
    setTabOrder(m_file1, m_ok);
    setTabOrder(m_ok, m_cancel);

    m_mounts = ReadSystemMounts();
    {
        const QSignalBlocker blocker(m_drive1);
        for (const std::string& point : RealMountPoints(m_mounts))
            m_drive1->addItem(QFile::decodeName(QByteArray::fromStdString(point)));
    }

    // Starting state: the drive holding the current directory, and the
    // current directory in both lists (the drive's root, then "/", when the
    // current directory cannot be listed).
    const QString current = QDir::currentPath();
    if (!Canonical(current, &m_currentDirectory, nullptr)) m_currentDirectory = QStringLiteral("/");
    {
        const QSignalBlocker blocker(m_drive1);
        m_drive1->setCurrentIndex(EnsureDrive(DriveHolding(m_currentDirectory)));
    }
    if (!SetDir1Path(m_currentDirectory) && !SetDir1Path(Drive())) SetDir1Path(QStringLiteral("/"));

    connect(m_drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(m_dir1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Dir1_DoubleClick(item->data(kPathRole).toString()); });
    connect(m_ok, &QPushButton::clicked, this, [this] { Ok_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel_Click(); });
}

Directory参照::~Directory参照() = default;

QString Directory参照::Drive() const
{
    return m_drive1->currentText();
}

void Directory参照::SetDrive(const QString& drive)
{
    m_drive1->setCurrentIndex(EnsureDrive(drive));
}

int Directory参照::EnsureDrive(const QString& drive)
{
    const int found = m_drive1->findText(drive, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) return found;
    int row = 0;
    while (row < m_drive1->count() && m_drive1->itemText(row) < drive) ++row;
    const QSignalBlocker blocker(m_drive1);
    m_drive1->insertItem(row, drive);
    return row;
}

QString Directory参照::DriveHolding(const QString& canonicalPath) const
{
    return QFile::decodeName(
        QByteArray::fromStdString(MountPointOf(QFile::encodeName(canonicalPath).toStdString(), m_mounts)));
}

bool Directory参照::SetDir1Path(const QString& path, QString* error)
{
    QString canonical;
    Listing listing;
    if (!Canonical(path, &canonical, error) || !ListDirectory(canonical, &listing, error)) return false;

    // Dir1 shows the way from the drive's root down to the directory, opened,
    // and the directory's subdirectories below it. A path off the current
    // drive moves Drive1 along, without a drive change.
    if (!IsWithin(canonical, Drive())) {
        const QSignalBlocker blocker(m_drive1);
        m_drive1->setCurrentIndex(EnsureDrive(DriveHolding(canonical)));
    }
    const QString root = Drive();
    QStringList chain{root};
    if (canonical != root) {
        const QString rest = canonical.mid(root == QLatin1String("/") ? 1 : root.size() + 1);
        QString walked = root;
        for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            walked = JoinPath(walked, part);
            chain << walked;
        }
    }

    const QIcon opened = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_dir1->clear();
    for (qsizetype level = 0; level < chain.size(); ++level) {
        const QString text = level == 0 ? chain[level] : chain[level].section(QLatin1Char('/'), -1);
        auto* item = new QListWidgetItem(opened, QString(int(level) * 2, QLatin1Char(' ')) + text);
        item->setData(kPathRole, chain[level]);
        m_dir1->addItem(item);
        if (level + 1 == chain.size()) m_dir1->setCurrentItem(item);
    }
    const QString indent(int(chain.size()) * 2, QLatin1Char(' '));
    for (const QString& name : listing.directories) {
        auto* item = new QListWidgetItem(closed, indent + name);
        item->setData(kPathRole, JoinPath(canonical, name));
        m_dir1->addItem(item);
    }

    const bool changed = canonical != m_dir1Path;
    m_dir1Path = canonical;
    if (changed) Dir1_Change();
    return true;
}

void Directory参照::SetFile1Path(const QString& path)
{
    m_file1Path = path;
    m_file1->clear();
    Listing listing;
    if (ListDirectory(path, &listing, nullptr)) m_file1->addItems(listing.files);
}

void Directory参照::Preset(const QString& startPath)
{
    QString canonical;
    Listing probe;
    if (!Canonical(startPath, &canonical, nullptr) || !ListDirectory(canonical, &probe, nullptr)) return;
    SetDrive(DriveHolding(canonical));
    SetDir1Path(canonical);
    SetFile1Path(canonical);
}

void Directory参照::Drive1_Change()
{
    // A drive opens at its current directory: the program's own on the drive
    // holding it, the root on every other drive.
    const QString drive = Drive();
    const QString target = DriveHolding(m_currentDirectory) == drive ? m_currentDirectory : drive;
    QString error;
    if (SetDir1Path(target, &error)) return;
    m_prompts->Message(this, QStringLiteral("Textrove"), error, QMessageBox::Critical);
    // Back to the drive Dir1 still shows, without running this handler again.
    const QSignalBlocker blocker(m_drive1);
    m_drive1->setCurrentIndex(EnsureDrive(DriveHolding(m_dir1Path)));
}

void Directory参照::Dir1_Change()
{
    SetFile1Path(m_dir1Path);
}

void Directory参照::Dir1_DoubleClick(const QString& path)
{
    QString error;
    if (!path.isEmpty() && !SetDir1Path(path, &error))
        m_prompts->Message(this, QStringLiteral("Textrove"), error, QMessageBox::Critical);
}

void Directory参照::Ok_Click()
{
    m_answer = m_dir1Path;
    accept();
}

void Directory参照::Cancel_Click()
{
    reject();
}

void Directory参照::reject()
{
    m_answer.clear();
    QDialog::reject();
}

void Directory参照::keyPressEvent(QKeyEvent* event)
{
    // Neither button answers Enter or Escape.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
