// The interactive merge dialog (modeless): shows the two marks and the
// Average and Centre on Star flags; Merge runs the merge, Cancel ends it.
#pragma once

#include <QDialog>

class TMergeDialog : public QDialog {
    Q_OBJECT

public:
    explicit TMergeDialog(QWidget* parent = nullptr);

    // Shows the marks, `average`, `merge_centre` and which image is being
    // marked (`orig`).
    void EvPaint();

signals:
    // The merge has been done: the display must be rebuilt.
    void merged();

private:
    void MergeDo();
    void MergeKill();
    void MergeHelp();
    void reject() override;
};
