#include "clock/timefrm.h"

#include "platform/datetime.h"

TfrmTime::TfrmTime(TComponent* owner) : TForm(owner, "TfrmTime") {
    Name = "frmTime";
    SetCaption("frmTime");
    // The bounds are the client area: 231 x 248 outside at 96 pixels per inch.
    SetBounds(366, 105, 223, 221);
    BorderStyle = TBorderStyle::Sizeable;
    BorderIcons = false;
    Position = TPosition::Designed;
    FontName = "System";
    FontHeight = 13;

    TvController1.Name = "TvController1";

    TheClock.BeginLoading();
    TheClock.Name = "TheClock";
    TheClock.SetBounds(0, 0, 223, 221);
    TheClock.Align = TAlign::Client;
    TheClock.SetController(&TvController1);
    TheClock.SetActive(false);
    TheClock.SetClockMode(cmClock);
    TheClock.SetDrawMarks(true);
    TheClock.SetMinuteOffset(0);
    TheClock.SetTimeOffset(0);
    TheClock.SetParentColor(true);
    TTvHandOptions& hands = TheClock.HandOptions();
    hands.SetHourHandColor(clBlack);
    hands.SetHourHandLength(60);
    hands.SetHourHandWidth(6);
    hands.SetMinuteHandColor(clBlack);
    hands.SetMinuteHandLength(80);
    hands.SetMinuteHandWidth(4);
    hands.SetSecondHandColor(clRed);
    hands.SetSecondHandLength(90);
    hands.SetSecondHandWidth(2);
    hands.SetShowSecondHand(true);
    hands.SetSolidHands(true);
    TheClock.OnDblClick = [this](TObject* s) { TheClockDblClick(s); };
    TheClock.Loaded();

    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& action) { FormClose(s, action); };
}

TfrmTime::~TfrmTime() { DoDestroy(); }

void TfrmTime::FormShow(TObject*) {
    IOperatingSystem& os = Application->OS();
    const TDateTime today = SystemTimeToDateTime(os.GetLocalTime());
    SetCaption(FormatDateTime("MMMM dd, YYYY", today, LocaleFormatSettings(os)));
    TheClock.SetActive(true);
}

void TfrmTime::TheClockDblClick(TObject*) { Close(); }

void TfrmTime::FormClose(TObject* sender, TCloseAction& action) {
    action = caFree;
    if (OnClosed) OnClosed(sender, action);
}
