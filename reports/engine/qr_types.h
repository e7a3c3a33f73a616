// The few kinds a report's layout shares with the pages it generates and
// with the printer: how a text sits in its box, which role a band plays,
// which way the paper lies. Kept apart so that the page model and the
// printer need nothing of the bands.
#pragma once

enum TQRAlignment { taLeftJustify, taRightJustify };
enum TQRBandType { rbTitle, rbPageHeader, rbColumnHeader, rbDetail, rbPageFooter, rbSummary };
enum TQROrientation { poPortrait, poLandscape };
