// The Qt windows against their templates: dialog units to pixels, and every control's kind,
// text, place, size and tab order, row for row.
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "app/dialog_layout.h"
#include "app/qt/shell.h"

namespace {

bool ignore_message(WindowHandle, WindowMessage, std::uintptr_t)
{
    return false;
}

TEST(DialogUnits, ConvertThroughTheFontsBaseUnitsRoundedAsTheDialogManagerDoes)
{
    struct Row {
        const char* name;
        DialogBaseUnits units;
        int x, y, width, height;
        QRect expected;
    };
    // 6 x 13 are the base units of 8 point MS Sans Serif at 96 dots per inch.
    const Row rows[] = {
        {"main window", {6, 13}, 0, 0, 151, 145, {0, 0, 227, 236}},
        {"About window", {6, 13}, 0, 0, 184, 89, {0, 0, 276, 145}},
        {"report view", {6, 13}, 4, 3, 143, 107, {6, 5, 215, 174}},
        {"Refresh", {6, 13}, 7, 129, 38, 13, {11, 210, 57, 21}},
        {"Packets Sent row", {6, 13}, 7, 112, 62, 8, {11, 182, 93, 13}},
        {"wider font", {7, 16}, 75, 120, 28, 8, {131, 240, 49, 16}},
        {"odd units round half up", {5, 15}, 1, 1, 2, 4, {1, 2, 3, 8}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(dialog_units_to_pixels(row.units, row.x, row.y, row.width, row.height), row.expected) << row.name;
}

TEST(DialogUnits, ComeFromAnEightPointSansSerifFont)
{
    const QFont font = dialog_font();
    EXPECT_EQ(font.pointSize(), 8);
    EXPECT_FALSE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(QFontInfo(font).family().isEmpty());
    const DialogBaseUnits units = dialog_base_units(font);
    EXPECT_GE(units.width, 4);
    EXPECT_LE(units.width, 9);
    EXPECT_GE(units.height, 10);
    EXPECT_LE(units.height, 18);
}

const char* kind_name(const QWidget* control)
{
    if (qobject_cast<const QPlainTextEdit*>(control)) return "edit";
    if (qobject_cast<const QPushButton*>(control)) return "push_button";
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->pixmap().isNull() ? "static_text" : "static_bitmap";
    return "other";
}

const char* kind_name(ControlKind kind)
{
    switch (kind) {
        case ControlKind::edit: return "edit";
        case ControlKind::push_button: return "push_button";
        case ControlKind::static_text: return "static_text";
        case ControlKind::static_bitmap: return "static_bitmap";
    }
    return "?";
}

TEST(DialogWindows, FollowTheirTemplatesRowForRow)
{
    for (const DialogLayout* layout : {&main_dialog_layout(), &about_dialog_layout()}) {
        SCOPED_TRACE(layout->title);
        const std::unique_ptr<QWidget> window(build_dialog_window(*layout, &ignore_message));
        const DialogBaseUnits units = dialog_base_units(window->font());
        EXPECT_EQ(window->windowTitle(), QLatin1String(layout->title));
        const QSize size = dialog_units_to_pixels(units, 0, 0, layout->width, layout->height).size();
        EXPECT_EQ(window->minimumSize(), size);
        EXPECT_EQ(window->maximumSize(), size);
        const Qt::WindowFlags flags = window->windowFlags();
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

        const QList<QWidget*> controls = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_EQ(controls.size(), static_cast<qsizetype>(layout->controls.size()));
        std::vector<QWidget*> tab_stops;
        for (std::size_t i = 0; i < layout->controls.size(); ++i) {
            const ControlRow& row = layout->controls[i];
            QWidget* control = controls[static_cast<qsizetype>(i)];
            SCOPED_TRACE(row.id);
            EXPECT_EQ(control->property("orvane_control_id").toInt(), row.id);
            EXPECT_STREQ(kind_name(control), kind_name(row.kind));
            const QRect place = dialog_units_to_pixels(units, row.x, row.y, row.width, row.height);
            EXPECT_EQ(control->pos(), place.topLeft());
            if (row.kind == ControlKind::static_bitmap) {
                EXPECT_EQ(control->size(), QSize(89, 85)) << "the picture keeps its own size";
            } else {
                EXPECT_EQ(control->size(), place.size());
                if (row.kind != ControlKind::edit) {
                    EXPECT_EQ(control->property("text").toString(), QLatin1String(row.text));
                }
            }
            EXPECT_EQ(bool(control->focusPolicy() & Qt::TabFocus), row.tab_stop);
            if (row.tab_stop) tab_stops.push_back(control);
        }
        // The tab order is the template order, and it wraps around.
        for (std::size_t i = 0; i < tab_stops.size(); ++i) {
            QWidget* next = tab_stops[i]->nextInFocusChain();
            while (next != nullptr && !(next->focusPolicy() & Qt::TabFocus) && next != tab_stops[i])
                next = next->nextInFocusChain();
            if (i + 1 < tab_stops.size()) {
                EXPECT_EQ(next, tab_stops[i + 1]) << "after tab stop " << i;
            }
        }
    }
}

TEST(DialogWindows, EveryStaticTextFitsItsRectangleWithTheDialogFont)
{
    for (const DialogLayout* layout : {&main_dialog_layout(), &about_dialog_layout()}) {
        const std::unique_ptr<QWidget> window(build_dialog_window(*layout, &ignore_message));
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) continue;
            EXPECT_LE(label->heightForWidth(label->width()), label->height())
                << layout->title << ": \"" << label->text().toStdString() << "\" is cut off";
        }
    }
}

TEST(DialogWindows, ReportViewIsReadOnlyMultiLineWithAVerticalScrollBar)
{
    const std::unique_ptr<QWidget> window(build_dialog_window(main_dialog_layout(), &ignore_message));
    auto* view = qobject_cast<QPlainTextEdit*>(find_dialog_control(window.get(), 1000));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(view->textInteractionFlags() & Qt::TextSelectableByKeyboard) << "a caret the user can move";
    EXPECT_TRUE(view->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST(DialogWindows, AppealKeepsItsRunsOfSpacesAsPlainText)
{
    const std::unique_ptr<QWidget> about(build_dialog_window(about_dialog_layout(), &ignore_message));
    const QLabel* appeal = nullptr;
    for (const QLabel* label : about->findChildren<QLabel*>())
        if (label->text().startsWith(QLatin1String("If  you"))) appeal = label;
    ASSERT_NE(appeal, nullptr);
    EXPECT_EQ(appeal->textFormat(), Qt::PlainText);
    EXPECT_EQ(appeal->text(), QLatin1String(kAppealText));
    EXPECT_TRUE(appeal->text().contains(QLatin1String("something,   please")));
    EXPECT_TRUE(appeal->text().endsWith(QLatin1String("hit the \"Email Me\" button.")));
}

}  // namespace
