// The modal search dialog "検索中・・・": runs one search on a worker thread,
// shows the file being scanned, and closes itself when the search ends.
#pragma once

#include <QDialog>

#include "search/engine/SearchEngine.h"

class MainForm;

class Form_SerchDialog : public QDialog {
    Q_OBJECT
public:
    explicit Form_SerchDialog(MainForm& frame);
    ~Form_SerchDialog() override;

    // The dialog's cancel flag: 0 go on, 255 cancellation requested.
    textrove::search::CancelFlag& CancelFlagRef();
};
