#include "controls/lookup_search.h"

#include "store/apollo_table.h"

int firstDifference(const QString& typed, const QString& value) {
    for (int i = 0; i < typed.size(); ++i)
        if (i >= value.size() || typed[i].toUpper() != value[i].toUpper()) return i;
    return -1;
}

void TLookupSearch::start(const QString& boxText) {
    if (started_) return;
    started_ = true;
    text_.clear();
    if (boxText.isEmpty() && table_ && table_->Active()) table_->First();
}

QString TLookupSearch::currentValue() const {
    if (!table_ || !table_->Active() || table_->RecNo() == 0) return {};
    QString v = table_->FieldByName(field_)->AsString();
    qsizetype end = v.size();
    while (end > 0 && v[end - 1] == QLatin1Char(' ')) --end;
    v.truncate(end);
    return v;
}

bool TLookupSearch::locate(const QString& text) const {
    return table_ && table_->Locate(field_, text, true);
}

TLookupSearch::Shown TLookupSearch::type(QChar c, bool backspace) {
    if (backspace)
        text_.chop(1);
    else
        text_ += c;
    if (text_.isEmpty()) {
        if (backspace) locate(QString());
        return {};
    }
    QString value;
    int matched = 0;
    for (;;) {
        locate(text_);
        value = currentValue();
        const int at = firstDifference(text_, value);
        matched = at < 0 ? static_cast<int>(text_.size()) : at;
        if (at < 0) break;
        if (at < text_.size() - 1) {
            // An earlier character already matched nothing: this one is
            // dropped, and the shorter text is located again.
            text_.chop(1);
            if (text_.isEmpty()) break;
            continue;
        }
        // Only the last character differs: it stays, unless the value has
        // a blank there.
        if (at < value.size() && value[at] == QLatin1Char(' ')) text_.chop(1);
        break;
    }
    return {value, matched};
}
