// TOvcMeter: a horizontal meter that shows a percentage as a bar filled from the left in the
// used colour, edged with the shadow colour, over the unused colour, with the number ("70%")
// centred on it.
#pragma once

#include <QWidget>
#include <cstdint>

namespace components {

class TOvcMeter : public QWidget {
 public:
  using TColor = uint32_t;  // $00BBGGRR or a system colour

  // 0 %, used colour navy, shadow colour $400000, unused colour clWindow, the number shown.
  explicit TOvcMeter(QWidget* parent = nullptr);

  int Percent() const { return percent_; }
  // Holds the value to 0 ... 100 and repaints when it changes.
  void SetPercent(int value);

  TColor UsedColor() const { return used_color_; }
  void SetUsedColor(TColor value);
  TColor UnusedColor() const { return unused_color_; }
  void SetUnusedColor(TColor value);
  TColor ShadowColor() const { return shadow_color_; }
  void SetShadowColor(TColor value);
  bool ShowPercent() const { return show_percent_; }
  void SetShowPercent(bool value);

  // The width in pixels of the filled part of a bar `inner` pixels wide at `percent`:
  // inner * percent / 100, halves up.
  static int FilledWidth(int inner, int percent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int percent_ = 0;
  TColor used_color_ = 0x800000;
  TColor unused_color_ = 0x80000005;
  TColor shadow_color_ = 0x400000;
  bool show_percent_ = true;
};

}  // namespace components
