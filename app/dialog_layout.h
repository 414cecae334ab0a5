// The two window templates as data: every control's number, kind, text, place and size in
// dialog units, in template (and tab) order. The Qt shell lays its windows out from these
// rows; a test reads the templates back out of orvane.exe and compares them row for row.
#pragma once

#include <cstdint>
#include <span>

enum class ControlKind { edit, push_button, static_text, static_bitmap };

struct ControlRow {
    int id;
    ControlKind kind;
    const char* text;  // the bitmap's resource name for a picture
    int x, y, width, height;
    bool tab_stop;
    bool group;
};

struct DialogLayout {
    int id;
    const char* title;
    int x, y, width, height;
    int font_points;
    const char* font_face;
    std::span<const ControlRow> controls;
};

const DialogLayout& main_dialog_layout();
const DialogLayout& about_dialog_layout();

// The About window's appeal, one string in three pieces; its runs of spaces are part of it.
extern const char* const kAppealText;

// The author's mail address, and the two targets the About buttons hand to the shell.
extern const char* const kAuthorMailAddress;
extern const char* const kMailLink;
extern const char* const kDonationAddress;
