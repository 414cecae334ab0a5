// The two window templates as data.
#include "app/dialog_layout.h"

#include "app/resources/resource_ids.h"

// The author's address lives on a reserved example domain until a real one is chosen.
#define ORVANE_AUTHOR_USER "author"
#define ORVANE_AUTHOR_DOMAIN "orvane.example.org"

const char* const kAuthorMailAddress = ORVANE_AUTHOR_USER "@" ORVANE_AUTHOR_DOMAIN;
const char* const kMailLink = "mailto:" ORVANE_AUTHOR_USER "@" ORVANE_AUTHOR_DOMAIN;
// No "?" before the first key: the payment service has always been given it this way.
const char* const kDonationAddress = "https://www.paypal.com/xclick/business=" ORVANE_AUTHOR_USER
                                     "%40" ORVANE_AUTHOR_DOMAIN "&item_name=Orvane+Donation";

const char* const kAppealText =
    "If  you like  this program  and think  its  worth  something,   please  click  the 'Donate' button and "
    "send a few dollars.  Or if you  find any  bugs or just want to say hello, hit the "
    "\"Email Me\""
    " button.";

namespace {

constexpr ControlRow kMainControls[] = {
    {IDC_LOG, ControlKind::edit, "", 4, 3, 143, 107, true, false},
    {IDC_REFRESH, ControlKind::push_button, "Refresh", 7, 129, 38, 13, true, false},
    {IDC_STATIC, ControlKind::static_text, "Packets Recieved", 7, 120, 62, 8, false, true},
    {IDC_RECEIVED, ControlKind::static_text, "0", 75, 120, 28, 8, false, true},
    {IDC_STATIC, ControlKind::static_text, "Packets Sent", 7, 112, 62, 8, false, true},
    {IDC_SENT, ControlKind::static_text, "0", 75, 112, 28, 8, false, true},
    {IDC_CLEAR, ControlKind::push_button, "Clear", 57, 129, 38, 13, true, false},
    {IDC_ABOUT, ControlKind::push_button, "About", 107, 129, 38, 13, true, false},
};

const ControlRow kAboutControls[] = {
    {IDC_STATIC, ControlKind::static_text, kAppealText, 70, 10, 106, 52, false, true},
    {IDC_EMAIL, ControlKind::push_button, "Email Me", 7, 68, 47, 15, true, false},
    {IDC_DONATE, ControlKind::push_button, "Donate", 129, 68, 47, 15, true, false},
    {IDC_STATIC, ControlKind::static_bitmap, "IDB_PICTURE", 7, 5, 59, 52, false, false},
    {IDC_STATIC, ControlKind::static_text, "Brix", 29, 58, 17, 8, false, true},
};

const DialogLayout kMainLayout{IDD_MAIN, "Orvane Version 1.0", 0, 0, 151, 145, 8, "MS Sans Serif", kMainControls};
const DialogLayout kAboutLayout{IDD_ABOUT, "About Orvane", 0, 0, 184, 89, 8, "MS Sans Serif", kAboutControls};

}  // namespace

const DialogLayout& main_dialog_layout()
{
    return kMainLayout;
}

const DialogLayout& about_dialog_layout()
{
    return kAboutLayout;
}
