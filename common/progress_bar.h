// What a classic desktop progress control does with its position, shared by
// every progress window (the GUI, the terminal and the test double) so that
// they all show the same thing.
#pragma once

namespace quirel {

struct BarModel {
  int low = 0;
  int high = 100;
  int step = 10;
  int pos = 0;

  // A new range keeps the position, pulled inside it.
  void SetRange(int newLow, int newHigh);
  // Positions outside the range stop at its ends.
  void SetPos(int newPos);
  // Stepping past the top starts over from the bottom by what it overshot;
  // a negative step past the bottom starts over from the top.
  void StepIt();
  // How full the bar is, 0 to 100.
  int Percent() const;
};

}  // namespace quirel
