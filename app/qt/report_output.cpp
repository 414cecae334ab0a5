// Qt shell: the receiver loop's two output operations, carried out on the window thread.
#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>

#include <string>

#include "app/qt/shell.h"
#include "app/report_output.h"
#include "app/resources/resource_ids.h"
#include "app/window_shell.h"

void show_received_count(std::int32_t count)
{
    const auto value = static_cast<std::uint32_t>(count);
    run_on_window_thread([value] {
        if (app_state.main_window.load() != nullptr) shell_show_number(IDC_RECEIVED, value);
    });
}

void append_report_line(const char* text)
{
    if (text == nullptr) return;
    // The bytes cross to the window thread as bytes; the QString is made there.
    run_on_window_thread([line = std::string(text)] {
        auto* view = qobject_cast<QPlainTextEdit*>(static_cast<QWidget*>(app_state.report_view.load()));
        if (view == nullptr) return;
        QString shown = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
        // The view breaks lines on "\n" alone; "\r\n" must not give two breaks.
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        // At the caret, replacing any selection; the caret ends behind the new text.
        QTextCursor cursor = view->textCursor();
        cursor.insertText(shown);
        view->setTextCursor(cursor);
    });
}
