// The one routine that draws a page of a page model, on the screen, a
// printer or a PDF file alike.
#pragma once

#include <QPointF>

class QPainter;
struct PageModel;

// Paints page `index` (from 0) with `unitsPerMm` device units per mm, the
// paper's top-left corner at `origin` (device units). The paper itself is
// not filled: a printer's is white already, the preview fills its own.
void paintPage(QPainter& painter, const PageModel& model, int index, double unitsPerMm,
               QPointF origin = {});
