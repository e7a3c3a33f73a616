#include "controls/db_lookup_combo.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

#include "common/dialogs.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

// ---- the list ----

TDBLUPlusList::TDBLUPlusList(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("TDBLUPlusList"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

void TDBLUPlusList::setTable(TApolloTable* table, const QString& field) {
    table_ = table;
    field_ = field;
    rows_.clear();
    highlighted_ = -1;
}

int TDBLUPlusList::rowHeight() const { return fontMetrics().height() + 2; }

QRect TDBLUPlusList::rowRect(int row) const {
    return QRect(1, 1 + row * rowHeight(), width() - 2, rowHeight());
}

// Reads up to rowCount_ rows from `top`, noting the current one. The caller
// holds the table's signals and puts it back on its row.
void TDBLUPlusList::readFrom(long top, long current) {
    rows_.clear();
    highlighted_ = -1;
    table_->GoTo(top);
    for (int i = 0; i < rowCount_ && !table_->Eof(); ++i) {
        QString text = table_->FieldByName(field_)->AsString();
        while (text.endsWith(QLatin1Char(' '))) text.chop(1);
        if (table_->RecNo() == current) highlighted_ = static_cast<int>(rows_.size());
        rows_.push_back({table_->RecNo(), text});
        table_->Next();
    }
}

void TDBLUPlusList::readRows(bool forward) {
    if (!table_ || !table_->Active() || table_->RecNo() == 0) {
        rows_.clear();
        highlighted_ = -1;
        update();
        return;
    }
    QSignalBlocker hold(table_);
    const long current = table_->RecNo();
    const bool shown = std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) { return r.recno == current; });
    long top = current;
    if (shown) {
        top = rows_.front().recno;
    } else if (forward) {
        table_->Skip(-(rowCount_ - 1));
        top = table_->RecNo();
    }
    try {
        readFrom(top, current);
        if (static_cast<int>(rows_.size()) < rowCount_ && top != 0) {
            // Near the end of the view: the list ends on the last row.
            table_->Last();
            table_->Skip(-(rowCount_ - 1));
            readFrom(table_->RecNo(), current);
        }
        if (highlighted_ < 0) readFrom(current, current);
        table_->GoTo(current);
    } catch (...) {
        table_->GoTo(current);
        throw;
    }
    update();
}

void TDBLUPlusList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int i = 0; i < shownRows(); ++i) {
        const QRect r = rowRect(i);
        const bool high = i == highlighted_;
        if (high) p.fillRect(r, palette().highlight());
        p.setPen(palette().color(high ? QPalette::HighlightedText : QPalette::Text));
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, rowText(i));
    }
}

void TDBLUPlusList::mousePressEvent(QMouseEvent* event) {
    for (int i = 0; i < shownRows(); ++i)
        if (rowRect(i).contains(event->position().toPoint())) {
            emit rowChosen(rows_[static_cast<size_t>(i)].recno);
            return;
        }
}

// ---- the box ----

TDBLookupComboPlus::TDBLookupComboPlus(const QString& name, QWidget* parent) : QLineEdit(parent) {
    setObjectName(name);
    setReadOnly(true);  // typing searches; nothing is written into the box
    button_ = new QToolButton(this);
    button_->setObjectName(QStringLiteral("DropDownButton"));
    button_->setArrowType(Qt::DownArrow);
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    connect(button_, &QToolButton::clicked, this, guarded([this] {
                setFocus(Qt::MouseFocusReason);
                toggleList();
            }));
    list_ = new TDBLUPlusList(this);
    connect(list_, &TDBLUPlusList::rowChosen, this,
            [this](long recno) { runGuarded([&] { chooseRow(recno); }); });
}

TDBLookupComboPlus::~TDBLookupComboPlus() = default;

void TDBLookupComboPlus::setLookupSource(TDataSource* source) {
    source_ = source;
    search_.setTable(table());
    list_->setTable(table(), display_);
}

void TDBLookupComboPlus::setLookupDisplay(const QString& field) {
    display_ = field;
    search_.setField(field);
    list_->setTable(table(), display_);
}

TApolloTable* TDBLookupComboPlus::table() const { return source_ ? source_->DataSet() : nullptr; }

bool TDBLookupComboPlus::tableOpen() const { return table() && table()->Active(); }

bool TDBLookupComboPlus::listVisible() const { return list_->isVisible(); }

void TDBLookupComboPlus::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int side = height() - 4;
    button_->setGeometry(width() - side - 2, 2, side, side);
    setTextMargins(0, 0, side + 2, 0);
}

void TDBLookupComboPlus::DropDown() {
    if (listVisible()) return;
    list_->setFont(font());
    list_->readRows();
    const int w = width();
    const int h = list_->visibleRows() * list_->rowHeight() + 2;
    const QPoint boxTopLeft = mapToGlobal(QPoint(0, 0));
    int x = boxTopLeft.x();
    if (align_ == TDropDownAlign::Right) x += width() - w;
    if (align_ == TDropDownAlign::Center) x += (width() - w) / 2;
    int y = boxTopLeft.y() + height();
    const QScreen* s = screen();
    const QRect room = s ? s->availableGeometry() : QRect();
    const bool roomBelow = !s || y + h <= room.bottom() + 1;
    const bool roomAbove = !s || boxTopLeft.y() - h >= room.top();
    if ((top_ == TDropDownTop::Above && roomAbove) || (top_ == TDropDownTop::Below && !roomBelow && roomAbove))
        y = boxTopLeft.y() - h;
    list_->setGeometry(x, y, w, h);
    list_->show();
    list_->raise();
}

void TDBLookupComboPlus::CloseUp() {
    list_->hide();
    search_.end();
    if (tableOpen()) table()->Refresh();
}

void TDBLookupComboPlus::toggleList() {
    if (listVisible())
        CloseUp();
    else
        DropDown();
}

void TDBLookupComboPlus::chooseRow(long recno) {
    if (tableOpen()) {
        table()->GoTo(recno);
        showValue(search_.currentValue(), 0);
    }
    CloseUp();
}

void TDBLookupComboPlus::showValue(const QString& value, int matched) {
    setText(value);
    // The part that was not typed is highlighted.
    if (matched < value.size())
        setSelection(matched, static_cast<int>(value.size()) - matched);
    else
        setCursorPosition(static_cast<int>(value.size()));
}

void TDBLookupComboPlus::keyPressEvent(QKeyEvent* event) {
    runGuarded([&] {
        QPointer<TDBLookupComboPlus> alive(this);
        if (OnKeyPress) OnKeyPress(event);
        if (alive) handleKey(event);
    });
}

void TDBLookupComboPlus::handleKey(QKeyEvent* event) {
    const int key = event->key();
    event->accept();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (listVisible()) CloseUp();
            return;
        case Qt::Key_Escape:
            if (listVisible())
                CloseUp();
            else
                search_.end();
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!listVisible())
                DropDown();
            else
                moveInList(key);
            return;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Delete:
            return;
        case Qt::Key_Backspace:
            typeKey(QChar(), true);
            return;
        default:
            break;
    }
    const QString typed = event->text();
    if (typed.size() == 1 && typed[0].isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        typeKey(typed[0], false);
        return;
    }
    event->ignore();  // Tab, function keys and shortcuts go on to the window
}

void TDBLookupComboPlus::typeKey(QChar c, bool backspace) {
    search_.start(text());
    if (!listVisible() && autoDropDown_) DropDown();
    if (!tableOpen()) return;
    const TLookupSearch::Shown shown = search_.type(c, backspace);
    showValue(shown.value, shown.matched);
    if (listVisible()) list_->readRows(true);
}

void TDBLookupComboPlus::moveInList(int key) {
    if (!tableOpen()) return;
    TApolloTable* t = table();
    const int page = list_->visibleRows();
    bool forward = true;
    switch (key) {
        case Qt::Key_Up: t->Skip(-1); forward = false; break;
        case Qt::Key_Down: t->Skip(1); break;
        case Qt::Key_PageUp: t->Skip(-page); forward = false; break;
        case Qt::Key_PageDown: t->Skip(page); break;
        case Qt::Key_Home: t->First(); forward = false; break;
        default: t->Last(); break;
    }
    search_.clearText();
    showValue(search_.currentValue(), 0);
    list_->readRows(forward);
}

void TDBLookupComboPlus::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    runGuarded([this] { toggleList(); });
}

void TDBLookupComboPlus::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TDBLookupComboPlus::hideEvent(QHideEvent* event) {
    list_->hide();
    search_.end();
    QLineEdit::hideEvent(event);
}

void TDBLookupComboPlus::focusOutEvent(QFocusEvent* event) {
    // The list belongs to the box: it closes when the focus moves to
    // another control of the window.
    if (listVisible() && event->reason() != Qt::ActiveWindowFocusReason &&
        event->reason() != Qt::PopupFocusReason)
        runGuarded([this] { CloseUp(); });
    QLineEdit::focusOutEvent(event);
}

TDBLookupComboPlus* searchBox(QWidget* parent, const char* name, TDataSource* source,
                              const char* field, int rows, const QRect& geometry) {
    auto* box = new TDBLookupComboPlus(QLatin1String(name), parent);
    box->setGeometry(geometry);
    box->setLookupSource(source);
    box->setLookupDisplay(QLatin1String(field));
    box->setLookupField(QLatin1String(field));
    box->setStyle(TLookupComboStyle::csIncSearch);
    box->setDropDownCount(rows);
    box->setAutoDropDown(true);
    box->setDropDownAlign(TDropDownAlign::Right);
    box->setDropDownTop(TDropDownTop::Below);
    return box;
}
