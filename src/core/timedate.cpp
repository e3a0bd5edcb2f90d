// The current time and date, as a snapshot in a message box.
#include "core/start.h"
#include "platform/datetime.h"

void TTolvekForm::TimeDate1Click(TObject*) {
    IOperatingSystem& os = Application->OS();
    const std::string text = FormatDateTime("MMMM dd, YYYY (hh:mm:ss AM/PM)", SystemTimeToDateTime(os.GetLocalTime()),
                                            LocaleFormatSettings(os));
    Application->MessageBox(text, "Current Time", MB_OK | MB_ICONINFORMATION);
}
