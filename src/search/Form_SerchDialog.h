// The modal search dialog "検索中・・・": runs one search on a worker thread,
// shows the file being scanned, and closes itself when the search ends.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <thread>

#include "search/engine/SearchEngine.h"

class Form_SerchAns;
class Prompts;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class Form_SerchDialog : public QDialog {
    Q_OBJECT
public:
    // Most time between two hand-overs of records or progress to the window.
    static constexpr int kDeliveryIntervalMs = 50;

    // A dialog over `parent` that runs `request` each time it is shown,
    // appending to `pane`; its message boxes go through `prompts`. The pane
    // and the prompts outlive the dialog.
    Form_SerchDialog(QWidget* parent, textrove::search::SearchRequest request, Form_SerchAns& pane, Prompts& prompts);
    // Cancels a running search and joins its worker.
    ~Form_SerchDialog() override;

    // The dialog's cancel flag: 0 go on, 255 cancellation requested.
    textrove::search::CancelFlag& CancelFlagRef();

    // Runs when the dialog is shown: clears the flag, enables Cancel and starts
    // the search on the worker. Does nothing while a search is running.
    void Form_Activate();
    // Requests cancellation; the search notices it at its next check.
    void Cancel_Click();

    // True from the start of the search until its worker has ended.
    bool SearchRunning() const { return m_running; }

protected:
    void showEvent(QShowEvent* event) override;
    // Escape cancels the search; it never closes the dialog.
    void reject() override;
    // A close request (a window manager's close command) does nothing: the
    // dialog cannot be closed by the user.
    void closeEvent(QCloseEvent* event) override;
    // Its own border: window managers draw none around it (see showEvent).
    void paintEvent(QPaintEvent* event) override;

private:
    class Channel;
    class Sink;

    void DeliverPending();  // UI thread: pending records to the pane, progress to SerchingFile
    void WorkerFinished();  // UI thread: last delivery, join, close
    void ShowFailure(const QString& description);

    const textrove::search::SearchRequest m_request;
    Form_SerchAns& m_pane;
    Prompts& m_prompts;
    QLabel* m_label1 = nullptr;
    QPlainTextEdit* m_serchingFile = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer* m_deliveryTimer = nullptr;

    textrove::search::CancelFlag m_cancelFlag{0};
    bool m_running = false;

    // Shared with the worker; outlives it (the worker is joined first).
    std::unique_ptr<Channel> m_channel;
    std::unique_ptr<Sink> m_sink;
    std::thread m_worker;
};
