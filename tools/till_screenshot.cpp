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

namespace {

// Where the steps left the screen: the window to photograph and the search
// box that "enter" closes.
struct Scene {
    QWidget* shown;
    TDBLookupComboPlus* box = nullptr;
};

// One step of the command line: "articles=TEXT", "ticket=TEXT", "res=TEXT",
// "fee=AMOUNT", "enter", or an article button's number.
void playStep(Program& program, const QString& step, Scene& scene) {
    const QString typed = step.section(QLatin1Char('='), 1);
    if (step.startsWith(QLatin1String("articles="))) {
        program.FCaisse->menuBar()->findChild<QAction*>(QStringLiteral("Articles1"))->trigger();
        QTest::qWait(200);
        scene.shown = program.FArticle;
        scene.box = program.FArticle->DBLookupComboPlus1;
        QTest::keyClicks(scene.box, typed);
    } else if (step.startsWith(QLatin1String("ticket=")) || step.startsWith(QLatin1String("res="))) {
        const bool ticket = step.startsWith(QLatin1String("ticket="));
        QTest::mouseClick(ticket ? program.FCaisse->MLBtnTicket : program.FCaisse->BitBtn2, Qt::LeftButton);
        QTest::qWait(200);
        scene.box = ticket ? program.FTicket->DBLookupComboPlus1 : program.FPtsRES->DBLookupComboPlus1;
        QTest::keyClicks(scene.box, typed);
    } else if (step.startsWith(QLatin1String("fee="))) {
        QTest::mouseClick(program.FCaisse->MultiLineButton63, Qt::LeftButton);
        QTest::qWait(200);
        QTest::keyClicks(program.FArbitre->MaskEdit1, typed);
    } else if (step == QLatin1String("enter")) {
        if (scene.box) QTest::keyClick(scene.box, Qt::Key_Return);
    } else if (const int n = step.toInt(); n >= 1 && n <= TFCaisse::kArticleButtons) {
        QTest::mouseClick(program.FCaisse->MultiLineButton[static_cast<size_t>(n)], Qt::LeftButton);
    }
}

// The receipt of the ticket, closed: its preview as a picture, or its pages
// as PDF.
bool saveReceipt(Program& program, const QString& out) {
    bool saved = false;
    TQuickRep::setPreviewHook([&](TQuickRep&, TPreviewWindow& w) {
        if (out.endsWith(QLatin1String(".pdf"))) {
            QString why;
            saved = savePdf(w.model(), out, &why);
            if (!saved) std::fprintf(stderr, "%s\n", qPrintable(why));
        } else {
            QTest::qWait(300);
            saved = w.grab().save(out);
        }
    });
    QTest::mouseClick(program.FCaisse->MLBtCaisse, Qt::LeftButton);
    return saved;
}

bool saveScreen(const Scene& scene, const QString& out) {
    QTest::qWait(500);
    QPixmap shot;
    if (qobject_cast<TFCaisse*>(scene.shown)) {
        shot = scene.shown->screen()->grabWindow(0);
    } else {  // the window and what is open over it (the search list)
        const QRect r = scene.shown->frameGeometry();
        shot = scene.shown->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    }
    if (shot.isNull() || QGuiApplication::platformName() == QLatin1String("offscreen"))
        shot = scene.shown->grab();  // no real screen: the window alone
    if (shot.save(out)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
    return false;
}

}  // namespace

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
    Scene scene{program.FCaisse};
    for (int i = 3; i < argc; ++i) playStep(program, QString::fromLocal8Bit(argv[i]), scene);
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (out.endsWith(QLatin1String(".preview.png")) || out.endsWith(QLatin1String(".pdf")))
        return saveReceipt(program, out) ? 0 : 1;
    return saveScreen(scene, out) ? 0 : 1;
}
