// A grid over a data source: one column per field of the handle, titled
// with the field name, one line per row of the handle's view. The grid's
// cursor is the handle's current row, and a line the user selects (a click,
// the arrow keys) becomes the handle's current row. It is read-only unless made editable:
// then a typed cell is converted for its field, written to its row and
// posted at once; a text its field refuses shows the error box and leaves
// the row as it was.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <vector>

class TApolloTable;
class TDataSource;
class TField;

class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setDataSource(TDataSource* source);
    // Reads the view again and puts the handle back on its row; when the
    // view can only have grown at its end since the last read, reads just
    // the rows past the last line. While the grid is hidden the read waits
    // until it is shown.
    void reload();
    void reloadIfStale();
    void setShown(std::function<bool()> shown) { shown_ = std::move(shown); }
    void setEditable(bool on) { editable_ = on; }
    bool editable() const { return editable_; }

    // A grid shows at most this many lines from the first row of the view.
    static constexpr int kMaxLines = 1000;
    // The display width of a column's field, in characters.
    int displayWidth(int column) const { return widths_.at(static_cast<size_t>(column)); }
    // The line of the handle's current row, or -1.
    int currentLine() const { return currentLine_; }
    // The user chose a line: its row becomes the handle's current row.
    void selectLine(int line);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void currentLineChanged(int line);

private:
    QPointer<TDataSource> source_;
    void readTitles(TApolloTable* table);
    void readAll(TApolloTable* table);
    void readAppended(TApolloTable* table);
    QStringList lineOf(TApolloTable* table) const;
    void findCurrentLine(long current);

    QStringList titles_;
    std::vector<int> widths_;
    std::vector<QStringList> lines_;
    std::vector<long> recnos_;  // the row of each line
    QPointer<TApolloTable> read_;       // the handle the lines were read from
    unsigned long readGeneration_ = 0;  // its view generation then
    int currentLine_ = -1;
    bool reading_ = false;
    bool stale_ = false;
    std::function<bool()> shown_;
    bool editable_ = false;
};

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(const QString& name, QWidget* parent = nullptr);

    void setDataSource(TDataSource* source) { model_->setDataSource(source); }
    TDBGridModel* gridModel() const { return model_; }
    // Lets the user edit the cells (double click, F2 or typing on a cell).
    void setEditable(bool on);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void sizeColumns();

private:
    TDBGridModel* model_;
};
