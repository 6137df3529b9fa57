#include "app/Q5_state.h"

#include <QProgressBar>
#include <algorithm>

TState_Form* State_Form = nullptr;

TState_Form::TState_Form(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint) {
  setObjectName("State_Form");
  setWindowTitle("Writing to eeprom.Please waiting...");
  setFixedSize(kClientWidth, kClientHeight);
  move(kDesignLeft, kDesignTop);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(16, 9, 239, 16);
  ProgressBar1->setRange(0, 128);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
}

void TState_Form::set_maximum(int maximum) {
  if (ProgressBar1->value() > maximum) ProgressBar1->setValue(std::max(maximum, ProgressBar1->minimum()));
  ProgressBar1->setMaximum(maximum);
}

void TState_Form::step_it() {
  const int minimum = ProgressBar1->minimum();
  const int maximum = ProgressBar1->maximum();
  int position = ProgressBar1->value() + kStepSize;
  if (position > maximum && maximum > minimum) position = minimum + (position - minimum) % (maximum - minimum);
  ProgressBar1->setValue(position);
}

void TState_Form::step_by(int delta) {
  ProgressBar1->setValue(std::min(ProgressBar1->value() + delta, ProgressBar1->maximum()));
}
