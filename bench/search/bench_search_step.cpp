// SPDX-License-Identifier: GPL-3.0-or-later
// A search step that finds nothing against a bare QTextDocument::find over the same document.
#include "benchwindow.h"

#include "logview/logviewcontroller.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "view/visualizedtextedit.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtWidgets>

using namespace bench;

int main(int argc, char *argv[])
{
    bench::prepareGuiRun();
    QApplication application(argc, argv);
    BigLogWindow big;
    if (!big.open())
        return 1;
    VisualizedTextEdit *edit = big.edit;
    QTextDocument *document = edit->document();
    const QString needle = QStringLiteral("no such text in the log");
    const int middle = document->findBlockByNumber(document->blockCount() / 2).position();
    const int end = document->characterCount() - 1;

    struct Case {
        const char *name;
        int direction;
        int cursorPosition;
        std::vector<double> times;
    };
    std::vector<Case> cases = {
        {"next, cursor at end", FindNext, end, {}},
        {"next, cursor at start", FindNext, 0, {}},
        {"next, cursor in the middle", FindNext, middle, {}},
        {"from line start, cursor in the middle", FindFromLineStart, middle, {}},
        {"previous, cursor at end", FindPrevious, end, {}},
        {"previous, cursor at start", FindPrevious, 0, {}},
        {"previous, cursor in the middle", FindPrevious, middle, {}},
    };
    // Each step is timed right after a bare find in the same direction, so that both see the
    // same machine load; the ratio compares the fastest of each over the rounds.
    std::vector<double> forwardFloor, backwardFloor;
    const int rounds = 5;
    for (int round = 0; round < rounds; ++round) {
        for (Case &c : cases) {
            const bool backward = c.direction == FindPrevious;
            QTextCursor from(document);
            if (backward)
                from.movePosition(QTextCursor::End);
            const auto flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
            (backward ? backwardFloor : forwardFloor).push_back(millisecondsOf([&] {
                if (!document->find(needle, from, flags).isNull())
                    std::abort();
            }));
            QTextCursor cursor(document);
            cursor.setPosition(c.cursorPosition);
            edit->setTextCursor(cursor);
            edit->controller()->searchState()->clearNotFoundText();
            const SearchOptions options(nullptr, c.direction, PlainText, needle);
            c.times.push_back(millisecondsOf([&] { edit->controller()->search(options); }));
        }
    }

    const double forward = fastest(forwardFloor), backward = fastest(backwardFloor);
    std::printf("floor: bare QTextDocument::find over %d lines: forward %.1f ms, backward %.1f "
                "ms (fastest of %zu)\n",
                document->blockCount(), forward, backward, forwardFloor.size());
    double worst = 0;
    for (const Case &c : cases) {
        const double floor = c.direction == FindPrevious ? backward : forward;
        const double best = fastest(c.times);
        const double ratio = best / floor;
        worst = std::max(worst, ratio);
        std::printf("failing step, %-38s %7.1f ms  ratio %.2f\n", c.name, best, ratio);
    }
    std::printf("worst ratio %.2f (limit 1.10): %s\n", worst, worst <= 1.1 ? "ok" : "TOO SLOW");
    return worst <= 1.1 ? 0 : 1;
}
