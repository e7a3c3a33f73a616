// The incremental search of a search box, without widgets: the text typed
// since the search started, and the rule that turns each key into a locate
// on the lookup table and the value the box then shows.
#pragma once

#include <QString>

class TApolloTable;

class TLookupSearch {
public:
    void setTable(TApolloTable* table) { table_ = table; }
    void setField(const QString& field) { field_ = field; }

    // What the box shows after a key: the value found and how many of its
    // first characters the search text matched (the rest is highlighted).
    struct Shown {
        QString value;
        int matched = 0;
    };

    bool started() const { return started_; }
    const QString& text() const { return text_; }
    // Starts a search unless one is under way: the search text is emptied,
    // and the table goes to its first row when the box shows nothing.
    void start(const QString& boxText);
    // One character typed, or Backspace: each key locates the first row whose
    // value begins with the search text, without regard to case. A character
    // after which nothing matches stays at the end of the search text, and the
    // characters typed after it are dropped, until Backspace removes it.
    Shown type(QChar c, bool backspace);
    // The list moved: the search text is emptied, the search goes on.
    void clearText() { text_.clear(); }
    // The list closed or Esc: the next key starts a new search.
    void end() {
        text_.clear();
        started_ = false;
    }

    // The display value of the table's current row, without trailing blanks;
    // empty on a closed handle or an empty view.
    QString currentValue() const;

private:
    bool locate(const QString& text) const;

    TApolloTable* table_ = nullptr;
    QString field_;
    QString text_;
    bool started_ = false;
};

// Where `typed` and `value` first differ without regard to case, or -1 when
// `value` begins with `typed`.
int firstDifference(const QString& typed, const QString& value);
