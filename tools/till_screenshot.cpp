// Makes a picture of the till as a person sees it: starts the program in a
// data folder, shows the till from the main menu, optionally presses a few
// articles, and saves what the screen shows. Run under Xvfb for a screen:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bin/till-screenshot FOLDER OUT.png [BUTTON...]
// With OUT ending in ".pdf" it closes the ticket instead and saves the
// receipt's preview as that PDF (pdftoppm turns it into pictures); with
// OUT ending in ".preview.png" it saves a picture of the preview window.
// Besides article numbers, the steps may be "ticket=KEYS" (the "Ticket"
// button, then KEYS typed into the ticket search), "res=KEYS" (the
// "Paiement RES" button, then KEYS typed into the member window),
// "articles=KEYS" (the till's "Gestion" > "Articles", then KEYS typed into
// the article window's search box; the picture is then of that window),
// "enter" (Enter in the last of those search boxes) and "fee=KEYS" (presses
// "Montant arbitrage" and types KEYS into the referee box, which stays open).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

#include "app/application.h"
#include "common/file_version.h"
#include "app/menu.h"
#include "app/program.h"
#include "common/format_settings.h"
#include "reports/engine/preview_window.h"
#include "reports/engine/quick_rep.h"
#include "reports/engine/report_printer.h"
#include "store/sde_binding.h"
#include "backoffice/article.h"
#include "backoffice/pts_res.h"
#include "backoffice/ticket_search.h"
#include "till/arbitre.h"
#include "till/caisse.h"

int main(int argc, char** argv) {
    TCaisseApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: till-screenshot FOLDER OUT.png [BUTTON...]\n", stderr);
        return 2;
    }
    std::string why;
    if (!SdeLibrary::load(&why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    QDir::setCurrent(QString::fromLocal8Bit(argv[1]));
    Program program;
    program.create();
    program.showWindow(program.FMenu);
    program.switchTo(program.FMenu, program.FCaisse);
    TDBLookupComboPlus* box = nullptr;
    QWidget* shown = program.FCaisse;
    for (int i = 3; i < argc; ++i) {
        const QString step = QString::fromLocal8Bit(argv[i]);
        if (step.startsWith(QLatin1String("articles="))) {
            program.FCaisse->menuBar()->findChild<QAction*>(QStringLiteral("Articles1"))->trigger();
            QTest::qWait(200);
            shown = program.FArticle;
            box = program.FArticle->DBLookupComboPlus1;
            QTest::keyClicks(box, step.section(QLatin1Char('='), 1));
            continue;
        }
        if (step.startsWith(QLatin1String("ticket=")) || step.startsWith(QLatin1String("res="))) {
            const bool ticket = step.startsWith(QLatin1String("ticket="));
            QTest::mouseClick(ticket ? program.FCaisse->MLBtnTicket : program.FCaisse->BitBtn2, Qt::LeftButton);
            QTest::qWait(200);
            box = ticket ? program.FTicket->DBLookupComboPlus1 : program.FPtsRES->DBLookupComboPlus1;
            QTest::keyClicks(box, step.section(QLatin1Char('='), 1));
            continue;
        }
        if (step.startsWith(QLatin1String("fee="))) {
            QTest::mouseClick(program.FCaisse->MultiLineButton63, Qt::LeftButton);
            QTest::qWait(200);
            QTest::keyClicks(program.FArbitre->MaskEdit1, step.section(QLatin1Char('='), 1));
            continue;
        }
        if (step == QLatin1String("enter")) {
            if (box) QTest::keyClick(box, Qt::Key_Return);
            continue;
        }
        const int n = std::atoi(argv[i]);
        if (n >= 1 && n <= TFCaisse::kArticleButtons)
            QTest::mouseClick(program.FCaisse->MultiLineButton[static_cast<size_t>(n)], Qt::LeftButton);
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (out.endsWith(QLatin1String(".preview.png"))) {
        bool saved = false;
        TQuickRep::setPreviewHook([&](TQuickRep&, TPreviewWindow& w) {
            QTest::qWait(300);
            saved = w.grab().save(out);
        });
        QTest::mouseClick(program.FCaisse->MLBtCaisse, Qt::LeftButton);
        return saved ? 0 : 1;
    }
    if (out.endsWith(QLatin1String(".pdf"))) {
        bool saved = false;
        TQuickRep::setPreviewHook([&](TQuickRep&, TPreviewWindow& w) {
            QString why;
            saved = savePdf(w.model(), out, &why);
            if (!saved) std::fprintf(stderr, "%s\n", qPrintable(why));
        });
        QTest::mouseClick(program.FCaisse->MLBtCaisse, Qt::LeftButton);
        return saved ? 0 : 1;
    }
    QTest::qWait(500);
    QPixmap shot;
    if (shown == program.FCaisse) {
        shot = shown->screen()->grabWindow(0);
    } else {  // the window and what is open over it (the search list)
        const QRect r = shown->frameGeometry();
        shot = shown->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    }
    if (shot.isNull() || QGuiApplication::platformName() == QLatin1String("offscreen"))
        shot = shown->grab();  // no real screen: the window alone
    if (!shot.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
