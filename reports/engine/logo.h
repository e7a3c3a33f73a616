// The club logo that four reports print in their header: a JPEG of
// 422 x 386 pixels built into the program.
#pragma once

#include <QByteArray>
#include <QImage>

// The JPEG bytes as stored in the program.
QByteArray logoJpeg();
// The decoded logo, shared by every report; a null image (an empty box on
// the page) with a message on standard error if it cannot be decoded.
QImage logoImage();
