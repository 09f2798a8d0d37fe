#include "ui/toolbar_pictures.h"

#include <cmath>

namespace tessor::ui {

namespace {

constexpr COLORREF kMask = RGB(255, 0, 255);
constexpr COLORREF kInk = RGB(40, 40, 40);
constexpr COLORREF kPaper = RGB(255, 255, 255);

// Pens and brushes of one drawing, released when it ends.
class Painter {
 public:
  explicit Painter(HDC dc) : dc_(dc) {}
  ~Painter() {
    for (int i = 0; i < count_; ++i) DeleteObject(objects_[i]);
  }
  void Pen(COLORREF colour, int width = 1) { Keep(SelectObject(dc_, Own(CreatePen(PS_SOLID, width, colour)))); }
  void Brush(COLORREF colour) { Keep(SelectObject(dc_, Own(CreateSolidBrush(colour)))); }
  void NoBrush() { SelectObject(dc_, GetStockObject(NULL_BRUSH)); }
  void Rect(int l, int t, int r, int b) { Rectangle(dc_, l, t, r, b); }
  void Ellipse(int l, int t, int r, int b) { ::Ellipse(dc_, l, t, r, b); }
  void Line(int x1, int y1, int x2, int y2) {
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
  }
  void Polygon(const POINT* points, int n) { ::Polygon(dc_, points, n); }
  void Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) { ::Arc(dc_, l, t, r, b, x1, y1, x2, y2); }
  HDC dc() const { return dc_; }

 private:
  HGDIOBJ Own(HGDIOBJ object) {
    if (count_ < kMax) objects_[count_++] = object;
    return object;
  }
  void Keep(HGDIOBJ) {}
  static constexpr int kMax = 32;
  HDC dc_;
  HGDIOBJ objects_[kMax] = {};
  int count_ = 0;
};

// A page: a white sheet with a folded corner, its left top at (x, y).
void Page(Painter& p, int x, int y, int w, int h) {
  p.Pen(kInk);
  p.Brush(kPaper);
  const POINT sheet[] = {{x, y}, {x + w - 4, y}, {x + w, y + 4}, {x + w, y + h}, {x, y + h}};
  p.Polygon(sheet, 5);
  p.Line(x + w - 4, y, x + w - 4, y + 4);
  p.Line(x + w - 4, y + 4, x + w, y + 4);
}

void Gears(Painter& p) {
  auto gear = [&](int cx, int cy, int r, COLORREF colour) {
    p.Pen(colour, 2);
    for (int i = 0; i < 8; ++i) {
      const double a = i * 3.14159265 / 4;
      p.Line(cx + static_cast<int>(std::lround(r * std::cos(a))), cy + static_cast<int>(std::lround(r * std::sin(a))),
             cx + static_cast<int>(std::lround((r + 2) * std::cos(a))),
             cy + static_cast<int>(std::lround((r + 2) * std::sin(a))));
    }
    p.Pen(kInk);
    p.Brush(colour);
    p.Ellipse(cx - r, cy - r, cx + r + 1, cy + r + 1);
    p.Brush(kPaper);
    p.Ellipse(cx - 2, cy - 2, cx + 3, cy + 3);
  };
  gear(7, 8, 5, RGB(120, 130, 150));
  gear(14, 14, 3, RGB(200, 150, 60));
}

void Floppy(Painter& p) {
  p.Pen(kInk);
  p.Brush(RGB(40, 70, 160));
  const POINT body[] = {{2, 2}, {16, 2}, {18, 4}, {18, 18}, {2, 18}};
  p.Polygon(body, 5);
  p.Brush(RGB(200, 200, 200));
  p.Rect(6, 2, 14, 8);
  p.Brush(RGB(40, 70, 160));
  p.Rect(11, 3, 13, 7);
  p.Brush(kPaper);
  p.Rect(5, 11, 16, 18);
}

void PageWithArrows(Painter& p) {
  Page(p, 3, 1, 13, 18);
  p.NoBrush();
  p.Pen(RGB(0, 140, 0), 2);
  p.Arc(5, 6, 15, 16, 15, 9, 5, 11);
  p.Arc(5, 6, 15, 16, 5, 13, 15, 11);
  p.Line(14, 7, 15, 10);
  p.Line(6, 15, 5, 12);
}

void TwoPages(Painter& p) {
  Page(p, 2, 1, 11, 14);
  Page(p, 7, 5, 11, 14);
}

void FormWithPen(Painter& p) {
  p.Pen(kInk);
  p.Brush(kPaper);
  p.Rect(1, 3, 15, 19);
  p.Pen(RGB(120, 120, 120));
  for (int y = 7; y <= 15; y += 4) p.Line(4, y, 12, y);
  p.Pen(RGB(200, 120, 0), 3);
  p.Line(10, 15, 18, 3);
  p.Pen(kInk);
  p.Line(9, 17, 10, 15);
}

void PageWithMagnifier(Painter& p) {
  Page(p, 2, 1, 12, 16);
  p.Pen(kInk, 2);
  p.Brush(RGB(190, 220, 250));
  p.Ellipse(8, 8, 16, 16);
  p.Pen(RGB(120, 80, 30), 3);
  p.Line(15, 15, 19, 19);
}

void DoorWithArrow(Painter& p) {
  p.Pen(kInk);
  p.Brush(RGB(150, 90, 40));
  p.Rect(3, 1, 12, 19);
  p.Brush(RGB(240, 200, 60));
  p.Ellipse(9, 9, 12, 12);
  p.Pen(RGB(200, 0, 0), 2);
  p.Line(10, 10, 18, 10);
  p.Line(15, 7, 18, 10);
  p.Line(15, 13, 18, 10);
}

using Drawing = void (*)(Painter&);
constexpr Drawing kPictures[kToolbarPictureCount] = {Gears,       Floppy,           PageWithArrows, TwoPages,
                                                     FormWithPen, PageWithMagnifier, DoorWithArrow};

}  // namespace

HIMAGELIST CreateToolbarPictures() {
  const int size = kToolbarPictureSize;
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kToolbarPictureCount, 0);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  for (Drawing draw : kPictures) {
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH mask = CreateSolidBrush(kMask);
    RECT all = {0, 0, size, size};
    FillRect(dc, &all, mask);
    DeleteObject(mask);
    {
      Painter painter(dc);
      HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
      HGDIOBJ brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
      draw(painter);
      SelectObject(dc, pen);
      SelectObject(dc, brush);
    }
    SelectObject(dc, old);
    ImageList_AddMasked(list, bitmap, kMask);
    DeleteObject(bitmap);
  }
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return list;
}

}  // namespace tessor::ui
