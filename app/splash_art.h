// The program's own artwork, drawn in code: the 555 x 354 splash picture
// and the window icon. tools/artgen.cpp renders them into resources/.
#pragma once

#include <QImage>

namespace quirel::app {

QImage RenderSplashPicture();
QImage RenderIconPicture(int size);

}  // namespace quirel::app
