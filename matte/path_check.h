#pragma once

#include "matte/acceptance.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;

/// Form7: the path-check window. On its first activation it runs the check it was given,
/// the matte's acceptance, shows the count of linked cells after each sweep and closes
/// itself. It cannot be closed while it works.
class Form7 : public QDialog {
    Q_OBJECT
public:
    /// What the window runs: acceptance, telling the hook it is handed the count after
    /// each sweep.
    using Check = std::function<MatteResult(const SweepReport &)>;

    explicit Form7(Check check, QWidget *parent = nullptr);

    /// What the check found, once the window has closed.
    const MatteResult &result() const { return result_; }
    /// Why the check could not finish (out of memory), or empty.
    const QString &failure() const { return failure_; }

    // The controls. Each keeps the window design's name as its objectName; the two
    // captions share the name Label1.
    QGroupBox *cleanupFrame;
    QLabel *checkingLabel;
    QLabel *countLabel;
    QWidget *separatorLine;
    QLabel *waitLabel;

public slots:
    void Form_Activate();
    void reject() override;

signals:
    /// After each sweep, once the counter shows `count`.
    void swept(long long count);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void check();

    Check check_;
    MatteResult result_;
    QString failure_;
    bool FirstActivation = true;
    bool running_ = false;
};
