// Qt shell: the two window templates laid out as Qt widgets, in dialog units of the dialog font.
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "app/qt/shell.h"

namespace {

// Each control keeps its template number here, so the shell finds it as GetDlgItem would.
constexpr const char* kControlIdProperty = "orvane_control_id";

// The only way Qt lets a window refuse its close request: the table decides what closing does.
class CloseRequestToTable final : public QObject {
public:
    CloseRequestToTable(QWidget* window, WindowTable table) : QObject(window), window_(window), table_(table) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_ || event->type() != QEvent::Close) return false;
        // The main window stays until the quit request ends its run; the About window hides itself.
        event->ignore();
        table_(window_, WindowMessage::close, 0);
        return true;
    }

private:
    QWidget* window_;
    WindowTable table_;
};

int round_div(int value, int multiplier, int divisor)
{
    // MulDiv: rounded to the nearest pixel, as the dialog manager converts.
    return (value * multiplier + divisor / 2) / divisor;
}

QWidget* make_report_view(QWidget* window)
{
    auto* view = new QPlainTextEdit(window);
    view->setReadOnly(true);
    // Read-only, but with a caret the user can place and move, and text to select and copy.
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view->setTabChangesFocus(true);
    // Lines are inserted without undo, and the view has no limit of its own.
    view->setUndoRedoEnabled(false);
    view->setFocusPolicy(Qt::StrongFocus);
    return view;
}

QWidget* make_push_button(QWidget* window, const ControlRow& row, WindowTable table)
{
    auto* button = new QPushButton(QString::fromLatin1(row.text), window);
    // As in a Windows dialog: no button is the default one, but a button with the keyboard focus is the
    // default while it has it, so Enter clicks it as Space does. Enter elsewhere clicks nothing.
    button->setAutoDefault(true);
    button->setDefault(false);
    button->setFocusPolicy(row.tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
    const int id = row.id;
    QObject::connect(button, &QPushButton::clicked, window,
                     [window, table, id] { table(window, WindowMessage::other, command_wparam(id)); });
    return button;
}

QWidget* make_static_text(QWidget* window, const ControlRow& row)
{
    auto* label = new QLabel(window);
    // Plain text keeps the appeal's runs of spaces; rich text would fold them.
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromLatin1(row.text));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QWidget* make_picture(QWidget* window)
{
    auto* picture = new QLabel(window);
    picture->setPixmap(QPixmap(QStringLiteral(":/orvane/picture.bmp")));
    return picture;
}

}  // namespace

QFont dialog_font()
{
    QFont font;
    // "MS Sans Serif" where a system has it, else DejaVu Sans, the common Linux sans-serif.
    // Faces whose mean letter width rounds down (Liberation Sans, Arial) would leave the
    // appeal one line short of its rectangle: the units shrink more than the glyphs do.
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

DialogBaseUnits dialog_base_units(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect dialog_units_to_pixels(const DialogBaseUnits& units, int x, int y, int width, int height)
{
    return {round_div(x, units.width, 4), round_div(y, units.height, 8), round_div(width, units.width, 4),
            round_div(height, units.height, 8)};
}

QWidget* build_dialog_window(const DialogLayout& layout, WindowTable table)
{
    // A pop-up with caption, system menu and close box, but no minimise or maximise box.
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setWindowTitle(QString::fromLatin1(layout.title));
    const QFont font = dialog_font();
    window->setFont(font);
    const DialogBaseUnits units = dialog_base_units(font);
    window->setFixedSize(dialog_units_to_pixels(units, 0, 0, layout.width, layout.height).size());
    window->installEventFilter(new CloseRequestToTable(window, table));

    QWidget* previous_stop = nullptr;
    for (const ControlRow& row : layout.controls) {
        QWidget* control = nullptr;
        switch (row.kind) {
            case ControlKind::edit: control = make_report_view(window); break;
            case ControlKind::push_button: control = make_push_button(window, row, table); break;
            case ControlKind::static_text: control = make_static_text(window, row); break;
            case ControlKind::static_bitmap: control = make_picture(window); break;
        }
        control->setProperty(kControlIdProperty, row.id);
        QRect place = dialog_units_to_pixels(units, row.x, row.y, row.width, row.height);
        // A picture control takes its bitmap's own size; the template gives only its place.
        if (row.kind == ControlKind::static_bitmap) {
            const QLabel* picture = static_cast<QLabel*>(control);
            if (!picture->pixmap().isNull()) place.setSize(picture->pixmap().size());
        }
        control->setGeometry(place);
        if (control->focusPolicy() & Qt::TabFocus) {
            if (previous_stop != nullptr) QWidget::setTabOrder(previous_stop, control);
            previous_stop = control;
        }
    }
    return window;
}

QWidget* find_dialog_control(QWidget* window, int control_id)
{
    if (window == nullptr) return nullptr;
    const QList<QWidget*> controls = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        const QVariant id = control->property(kControlIdProperty);
        if (id.isValid() && id.toInt() == control_id) return control;
    }
    return nullptr;
}
