// The search box: a one-line box over a table handle, with a drop-down list
// of the handle's rows in its order. In the incremental search style the
// box is not typed into: each key moves the handle to the first row whose
// display field begins with what was typed. The box changes no field; a
// choice only moves the lookup table's current row.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "controls/lookup_search.h"
#include "store/data_source.h"

class QToolButton;
class TApolloTable;

enum class TLookupComboStyle { csDropDown, csDropDownList, csIncSearch, csIncSrchEdit };
enum class TDropDownAlign { Left, Right, Center };
enum class TDropDownTop { Below, Above };

// The drop-down list: DropDownCount rows of the lookup table in its order,
// read around the current row, which is highlighted.
class TDBLUPlusList : public QWidget {
    Q_OBJECT
public:
    explicit TDBLUPlusList(QWidget* parent);

    void setTable(TApolloTable* table, const QString& field);
    void setRowCount(int rows) { rowCount_ = rows; }
    int visibleRows() const { return rowCount_; }

    // Reads the rows shown again so that the current row is among them: a
    // row reached by moving forward ends the list, another one begins it.
    void readRows(bool forward = false);
    int rowHeight() const;
    // The rows shown, their texts, the highlighted one (-1 when none).
    int shownRows() const { return static_cast<int>(rows_.size()); }
    QString rowText(int row) const { return rows_.at(static_cast<size_t>(row)).text; }
    int highlighted() const { return highlighted_; }
    QRect rowRect(int row) const;

signals:
    // A click on a row: its record number.
    void rowChosen(long recno);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Row {
        long recno;
        QString text;
    };
    void readFrom(long top, long current);

    TApolloTable* table_ = nullptr;
    QString field_;
    int rowCount_ = 8;
    std::vector<Row> rows_;
    int highlighted_ = -1;
};

class TDBLookupComboPlus;

// A search box over `field` of `source` as the windows set it up: the
// incremental search, the list opening on the first key typed, aligned on
// the box's right edge below it, `rows` rows tall.
TDBLookupComboPlus* searchBox(QWidget* parent, const char* name, TDataSource* source,
                              const char* field, int rows, const QRect& geometry);

class TDBLookupComboPlus : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBLookupComboPlus(const QString& name, QWidget* parent = nullptr);
    ~TDBLookupComboPlus() override;

    // Properties.
    TDataSource* LookupSource() const { return source_; }
    void setLookupSource(TDataSource* source);
    const QString& LookupDisplay() const { return display_; }
    void setLookupDisplay(const QString& field);
    const QString& LookupField() const { return keyField_; }
    void setLookupField(const QString& field) { keyField_ = field; }
    // Only the incremental search style is used; the others are kept as set
    // and behave as it does.
    TLookupComboStyle Style() const { return style_; }
    void setStyle(TLookupComboStyle style) { style_ = style; }
    int DropDownCount() const { return list_->visibleRows(); }
    void setDropDownCount(int rows) { list_->setRowCount(rows); }
    bool AutoDropDown() const { return autoDropDown_; }
    void setAutoDropDown(bool on) { autoDropDown_ = on; }
    TDropDownAlign DropDownAlign() const { return align_; }
    void setDropDownAlign(TDropDownAlign a) { align_ = a; }
    TDropDownTop DropDownTop() const { return top_; }
    void setDropDownTop(TDropDownTop t) { top_ = t; }
    // An index name for another kind of lookup table: kept, without effect.
    const QString& LookupIndex() const { return lookupIndex_; }
    void setLookupIndex(const QString& name) { lookupIndex_ = name; }

    // The window's own key handler: it runs before the box handles the key.
    std::function<void(QKeyEvent*)> OnKeyPress;

    TDBLUPlusList* list() const { return list_; }
    QToolButton* button() const { return button_; }
    bool listVisible() const;
    const QString& searchText() const { return search_.text(); }
    bool searchStarted() const { return search_.started(); }

    void DropDown();
    // Hides the list, ends the search and re-reads the lookup table.
    void CloseUp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TApolloTable* table() const;
    bool tableOpen() const;
    void handleKey(QKeyEvent* event);
    void typeKey(QChar c, bool backspace);
    void moveInList(int key);
    void showValue(const QString& value, int matched);
    void toggleList();
    void chooseRow(long recno);

    QPointer<TDataSource> source_;
    QString display_;
    QString keyField_;
    QString lookupIndex_;
    TLookupComboStyle style_ = TLookupComboStyle::csIncSearch;
    bool autoDropDown_ = true;
    TDropDownAlign align_ = TDropDownAlign::Right;
    TDropDownTop top_ = TDropDownTop::Below;
    TLookupSearch search_;
    QToolButton* button_;
    TDBLUPlusList* list_;
};
