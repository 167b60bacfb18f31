#pragma once

#include <QMessageBox>
#include <QWidget>

#include <cstdint>

/// Shape1 of the matte editor: a filled circle in the current pen's colour.
class FilledCircle : public QWidget {
    Q_OBJECT
public:
    explicit FilledCircle(QWidget *parent = nullptr);
    /// The fill as a packed 0x00BBGGRR colour.
    std::int32_t fillColour() const { return colour_; }
    void setFillColour(std::int32_t colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::int32_t colour_ = 0;
};

/// A one-pixel line in grey (128, 128, 128) from `from` to `to`, horizontal or vertical.
QWidget *makeLine(QWidget *parent, const QString &name, QPoint from, QPoint to);

/// A message box with an OK button and the given icon, titled "Corvanthel" unless told
/// otherwise, shown modally.
void showMessage(QWidget *parent, const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon,
                 const QString &title = QStringLiteral("Corvanthel"));

/// Asks a yes-or-no question titled "Corvanthel": true when the user chose `action`
/// (a button caption such as "&Clear"); Escape, and the default, keep things as they are
/// (`keep`, or Cancel).
bool confirm(QWidget *parent, const QString &text, const QString &action, const QString &keep = {});

/// The busy pointer for as long as it lives.
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    /// Back to the normal pointer before the end of the scope (a message box waits).
    void release();

    /// The normal pointer for as long as it lives, over any busy one: a question waits.
    struct Normal {
        Normal();
        ~Normal();
        Normal(const Normal &) = delete;
        Normal &operator=(const Normal &) = delete;
    };

private:
    bool held_ = true;
};
