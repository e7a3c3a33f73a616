#include "backoffice/price_buttons.h"

QString PriceButton::caption() const {
    return QStringLiteral("Prix %1 €").arg(price, 0, 'f', 2);
}
