// The progress window shown while bytes move between the form and a pager.
#pragma once

#include <QWidget>

class QProgressBar;

class TState_Form : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 271;
  static constexpr int kClientHeight = 32;
  static constexpr int kDesignLeft = 225;
  static constexpr int kDesignTop = 209;
  static constexpr int kStepSize = 10;  // the progress bar's default step

  explicit TState_Form(QWidget* parent = nullptr);

  QProgressBar* ProgressBar1 = nullptr;

  // A new maximum keeps the bar where it was, held at the new maximum when
  // it lies beyond it. (QProgressBar alone would empty the bar instead.)
  void set_maximum(int maximum);
  // One step of the step size; past the maximum the bar starts over.
  void step_it();
  // An advance by `delta` stops at the maximum.
  void step_by(int delta);
};

extern TState_Form* State_Form;
