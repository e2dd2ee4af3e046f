// Stand-in until the registry store lands: defaults only, stores are no-ops.
#include "persist/settings.h"

Settings settings;

void SetDefaultSettings() {
    Settings s{};
    s.rowLength = 80; s.kbLimit = 256; s.linesLimit = 2048;
    s.textColor = GetSysColor(COLOR_WINDOWTEXT);
    s.backgroundColor = GetSysColor(COLOR_WINDOW);
    s.charset = 3; s.autodetect = 1; s.statusBar = 1; s.wrapLines = 1; s.autoCheck = 1;
    s.restrictInstances = 1; s.savePosition = 1;
    s.font.lfHeight = 13; s.font.lfWeight = 400; s.font.lfCharSet = DEFAULT_CHARSET;
    s.font.lfOutPrecision = OUT_TT_PRECIS; s.font.lfQuality = PROOF_QUALITY; s.font.lfPitchAndFamily = FF_MODERN;
    lstrcpyW(s.font.lfFaceName, L"Lucida Console");
    settings = s;
}

void LoadSettings() { SetDefaultSettings(); }
void ReadRestrictInstances() { settings.restrictInstances = 1; }
void StoreSettings(const SettingValue*, int) {}
void StoreLanguageAndRestart(uint32_t) {}
