// The article window's price buttons, without widgets: each sets the
// current article's price and the rate of 21 % and saves it at once.
#pragma once

#include <QString>
#include <array>

struct PriceButton {
    double price;
    // "Prix 1.50 €": two decimals after a point, whatever the regional
    // settings, as the buttons have always read.
    QString caption() const;
};

// The rate every price button sets.
inline constexpr double kPriceButtonVat = 21;
// BitBtn1 to BitBtn4, from the top.
inline constexpr std::array<PriceButton, 4> kPriceButtons = {{{1.5}, {1.6}, {2.0}, {2.5}}};
