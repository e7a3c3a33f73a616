// The article window's price buttons, without the window: their captions,
// prices and the rate they set.
#include <gtest/gtest.h>

#include "backoffice/price_buttons.h"

TEST(PriceButtons, CaptionsPricesAndRate) {
    const char* captions[] = {"Prix 1.50 €", "Prix 1.60 €", "Prix 2.00 €", "Prix 2.50 €"};
    const double prices[] = {1.5, 1.6, 2.0, 2.5};
    for (size_t i = 0; i < kPriceButtons.size(); ++i) {
        EXPECT_EQ(kPriceButtons[i].caption(), QString::fromUtf8(captions[i]));
        EXPECT_EQ(kPriceButtons[i].price, prices[i]);
    }
    EXPECT_EQ(kPriceButtonVat, 21);
    EXPECT_EQ(PriceButton{12.345}.caption(), QString::fromUtf8("Prix 12.35 €"));
}
