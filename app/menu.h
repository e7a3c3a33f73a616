// The main window: an empty window with the main menu. Creating it builds
// the index files that the other windows open and that are missing.
#pragma once

#include "ui/form.h"
#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/data_source.h"

class TFMenu : public TForm {
    Q_OBJECT
public:
    explicit TFMenu(TProgram& program);

    TApolloEnv* ApolloEnv1;
    TApolloTable* ATVente;
    TApolloTable* ATConsomation;
    TApolloTable* ATPtsRES;
    TDataSource* DSVente;
    TDataSource* DSConsomation;
    TDataSource* DSPtsRES;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void buildIndex(TApolloTable* table, const QString& file, const QString& key, bool unique);
};
