// The one test of the machine rather than the program: a dialog is drawn in
// Wine's own fonts, whatever fonts the host has. Every other test derives its
// pixels from the dialog's measured units; this one pins the absolute values, so
// that a prefix without Wine's fonts fails here, saying why, instead of laying
// the dialog out in some host face.
#include <string>

#include "dialog/dialog.h"
#include "platform/win32.h"
#include "testing/test.h"

namespace {

struct FaceAndMetrics {
  std::string face;
  TEXTMETRICA metrics;
};

FaceAndMetrics measure(HWND window, HFONT font) {
  FaceAndMetrics result{};
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  char face[LF_FACESIZE] = "";
  GetTextFaceA(dc, sizeof face, face);
  result.face = face;
  GetTextMetricsA(dc, &result.metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return result;
}

const char kWhy[] =
    "the Wine prefix draws in a host font, not Wine's own: tools/with-wine.sh copies "
    "/usr/share/wine/fonts (package fonts-wine) into the prefix and hides the host's fonts";

}  // namespace

TEST(WineEnvironment, DialogsAreDrawnInWinesOwnFonts) {
  HWND d = vintrell::new_dialog(nullptr, "Test", -1, -1, 300, 150, 0xA0000, 0);
  ASSERT_TRUE(d != nullptr);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0));
  FaceAndMetrics dialog_font = measure(d, font);
  RECT units = {0, 0, 4, 8};
  MapDialogRect(d, &units);

  HFONT marlett = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0,
                              "Marlett");
  FaceAndMetrics caption_glyphs = measure(d, marlett);
  DeleteObject(marlett);
  DestroyWindow(d);

  if (dialog_font.face != "MS Sans Serif" || caption_glyphs.face != "Marlett") {
    ADD_FAILURE(std::string(kWhy) + " (dialog font \"" + dialog_font.face +
                "\", caption glyphs \"" + caption_glyphs.face + "\")");
  }
  // 8-point MS Sans Serif of Wine's sserife.fon at 96 dpi, as on Windows.
  EXPECT_EQ(dialog_font.metrics.tmHeight, 13L);
  EXPECT_EQ(dialog_font.metrics.tmAveCharWidth, 5L);
  EXPECT_EQ(units.right, 6L);
  EXPECT_EQ(units.bottom, 13L);
}
