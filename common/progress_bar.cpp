#include "common/progress_bar.h"

#include <algorithm>

namespace quirel {

void BarModel::SetRange(int newLow, int newHigh) {
  low = newLow;
  high = newHigh;
  SetPos(pos);
}

void BarModel::SetPos(int newPos) {
  if (high < low) {
    pos = low;
    return;
  }
  pos = std::clamp(newPos, low, high);
}

void BarModel::StepIt() {
  long long next = static_cast<long long>(pos) + step;
  if (next > high)
    next = static_cast<long long>(low) + (next - high);
  else if (next < low)
    next = static_cast<long long>(high) - (low - next);
  pos = static_cast<int>(std::clamp<long long>(next, low, std::max(low, high)));
}

int BarModel::Percent() const {
  if (high <= low) return 0;
  const long long p = (static_cast<long long>(pos) - low) * 100 / (static_cast<long long>(high) - low);
  return static_cast<int>(std::clamp<long long>(p, 0, 100));
}

}  // namespace quirel
