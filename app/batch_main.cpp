// pagorra-batch: contact sheet pages from the command line, on the same engine as the
// desktop program.
#include "batch/batchjob.h"
#include "batch/batchoptions.h"
#include "batch/pagefilewriter.h"
#include "batch/terminalprogress.h"
#include "core/filenames.h"
#include "core/imaging.h"
#include "core/librarymessages.h"
#include "errors/errorhandler.h"
#include "generation/generationrun.h"
#include "generation/imageloader.h"
#include "generation/page.h"
#include "jobs/manifest.h"
#include "output/outputsettings.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>

using namespace pagorra;

namespace {

void onInterrupt(int)
{
    TerminalProgress::requestCancel();
}

// Every line goes out escaped, so that whatever a file name holds (escape sequences, line
// breaks, bytes that are not UTF-8) it shows as one visible line and never drives the terminal.
void printLine(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", qUtf8Printable(displayName(text)));
}

// Reports that the desktop program shows in a window go to stderr, one line each.
void printReport(const ErrorReport &report)
{
    QString line = QStringLiteral("pagorra-batch: ") + report.routineName + QStringLiteral(": ") + report.systemError;
    if (!report.trappingString.isEmpty())
        line += QStringLiteral(" (") + report.trappingString + u')';
    printLine(stderr, line);
}

// "U+0378 U+10FFFD": characters no font can show, written so that any terminal can.
QString codePoints(const QString &characters)
{
    QStringList codes;
    for (const char32_t c : characters.toUcs4())
        codes << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    return codes.join(u' ');
}

} // namespace

int main(int argc, char *argv[])
{
    quietenLibraryMessages();
    // The arguments are the tool's alone, taken as the file system holds names: Qt would decode
    // them lossily, and take some (-reverse, -platform NAME) for itself even after "--".
    const QStringList arguments = argumentsFromNative(argc, argv).mid(1);
    argc = 1;

    // Fonts and colours need a GUI application object, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareImagingEnvironment(argv[0]);
    QGuiApplication app(argc, argv);
    // The environment is final from here on (a platform plugin may still change it as Qt
    // starts), so other threads may start. The image library loads its format modules as it
    // starts, which takes as long as a few photos: it starts on a core of its own while the
    // arguments, settings and inputs are read on this one.
    std::jthread imageLibrary(ensureImageLibraryStarted);
    // Damaged inputs are listed at the end; the decoders' own complaints would bury that list.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    initErrorHandling();
    setReportPresenter(printReport);

    const BatchParse parse = parseBatchArguments(arguments);
    if (!parse.reply.isEmpty()) {
        std::fputs(qUtf8Printable(parse.reply), stdout);
        return 0;
    }
    if (!parse.error.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + parse.error);
        printLine(stderr, QStringLiteral("Try 'pagorra-batch --help' for more information."));
        return 2;
    }
    const BatchOptions &options = parse.options;
    BatchPlan plan = planBatchRun(options);
    if (!plan.error.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + plan.error);
        return 2;
    }
    const Job &job = plan.job;
    if (!options.saveJob.isEmpty()) {
        if (const std::optional<QString> failure = writeJob(options.saveJob, job)) {
            printLine(stderr, QStringLiteral("pagorra-batch: ") + *failure);
            return 1;
        }
        printLine(stdout, QStringLiteral("job written: ") + options.saveJob);
        return 0;
    }
    const QString &output = job.target.file;
    if (const QString problem = outputProblem(output); !problem.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + problem);
        return 1;
    }
    if (job.target.multipage && options.shardCount > 1) {
        printLine(stderr, QStringLiteral("pagorra-batch: --shard writes numbered pages, not a multipage document"));
        return 2;
    }
    const RegistrySettings &settings = job.settings;

    imageLibrary.join();
    // The run decodes several files at once on its own threads; more threads per file
    // would only compete with them.
    setThreadsPerLoad(1);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    TerminalProgress progress(stderr);
    const double resolution = pageOutput(settings.Output, QSize(settings.PageWidth, settings.PageHeight)).pixelsPerInch;
    std::optional<PageFileWriter> writer;
    // pageTotal: the page count footers show, 0 while it is not known.
    const auto makePages = [&](int pageTotal) {
        writer.emplace(output, job.target.multipage, writeOptionsFor(settings, resolution));
        GenerationRun run(settings, job.basket, progress);
        run.setReportEntries(!options.manifest.isEmpty());
        run.setDecodingThreads(options.jobs);
        run.setPageTotal(pageTotal);
        run.setShard(options.shardIndex, options.shardCount);
        writer->setNumberEveryPage(options.shardCount > 1);
        return run.stream([&](const Page &page, int number) { writer->write(page, number); });
    };
    setLastAction(QStringLiteral("Making pages into '%1'").arg(output));
    GenerationResult result = makePages(0);
    bool totalsUnsure = false;
    // Pages go out as they are complete, before the run knows how many there will be: a footer
    // showing the count shows the most the entries left could fill. When unreadable files made
    // it wrong, the pages are made once more with the count now known; a multipage document is
    // only put in place at the end, numbered pages are replaced as they come again.
    if (result.pageTotalsWrong && result.outcome == GenerationResult::Outcome::Completed &&
        !progress.cancelRequested()) {
        printLine(stderr, QStringLiteral("pagorra-batch: %1 file(s) could not be read, so the pages are made once more "
                                         "to show their right count")
                              .arg(result.skippedFiles.size()));
        writer->abandon();
        result = makePages(result.pageCount);
        // Files that changed between the two runs could still leave another count: the pages
        // are kept, and the run does not end as a success.
        totalsUnsure = result.pageTotalsWrong && !progress.cancelRequested();
        if (totalsUnsure)
            printLine(stderr, QStringLiteral("pagorra-batch: the files changed while the pages were made again; "
                                             "footers may show a wrong page count"));
    }
    if (result.outcome == GenerationResult::Outcome::CheckFailed) {
        printLine(stderr, result.message->text);
        return 1;
    }
    // A signal during the last page counts as well: the run had no entry left to stop before.
    const bool cancelled = result.outcome == GenerationResult::Outcome::Cancelled || progress.cancelRequested();
    // A slice past the last page has nothing to make, and that is no failure.
    const bool emptySlice = result.outcome == GenerationResult::Outcome::Completed && result.pageCount == 0;
    const bool nothingPlaced = result.outcome != GenerationResult::Outcome::Failed && result.placed == 0 && !emptySlice;
    bool manifestWritten = false;
    if (nothingPlaced || (cancelled && writer->isMultipage())) {
        // A blank page is no result, and a document cut short must not stand in for the whole
        // one: an existing file of that name stays as it was.
        writer->abandon();
    } else if (result.outcome != GenerationResult::Outcome::Failed) {
        // Numbered pages are kept on a cancel, as the desktop program's cancel keeps its pages.
        try {
            writer->finish();
        } catch (const RuntimeError &e) {
            globalErrorHandler(e, writer->isMultipage() ? QStringLiteral("fncSaveMultiPageFromBitmaps")
                                                        : QStringLiteral("cmdSaveAll_Click"));
            result.outcome = GenerationResult::Outcome::Failed;
        }
        // The manifest describes pages that are in place, so it comes only after them.
        if (!options.manifest.isEmpty() && result.outcome != GenerationResult::Outcome::Failed) {
            if (const std::optional<QString> failure = writeManifest(options.manifest, job.basket, result)) {
                printLine(stderr, QStringLiteral("pagorra-batch: ") + *failure);
                result.outcome = GenerationResult::Outcome::Failed;
            } else {
                manifestWritten = true;
            }
        }
    }

    for (const QString &file : writer->written())
        printLine(stdout, QStringLiteral("written: ") + file);
    if (manifestWritten)
        printLine(stdout, QStringLiteral("written: ") + options.manifest);
    printLine(
        stdout,
        QStringLiteral("%1 page(s) written, %2 picture(s) placed").arg(writer->pagesWritten()).arg(result.placed));
    if (!result.skippedFiles.isEmpty()) {
        printLine(stderr, QStringLiteral("%1 file(s) could not be read:").arg(result.skippedFiles.size()));
        for (const QString &file : result.skippedFiles)
            printLine(stderr, QStringLiteral("  ") + file);
    }
    if (!result.shortenedTexts.isEmpty()) {
        printLine(stderr,
                  QStringLiteral("%1 caption(s) or footer(s) shortened to fit:").arg(result.shortenedTexts.size()));
        for (const QString &where : result.shortenedTexts)
            printLine(stderr, QStringLiteral("  ") + where);
    }
    if (!result.missingGlyphs.isEmpty()) {
        printLine(stderr, QStringLiteral("%1 caption(s) or footer(s) with characters no installed font has:")
                              .arg(result.missingGlyphs.size()));
        for (const auto &[where, characters] : result.missingGlyphs)
            printLine(stderr, QStringLiteral("  ") + where + QStringLiteral(": ") + codePoints(characters));
    }
    if (cancelled) {
        printLine(stderr, writer->isMultipage() ? QStringLiteral("cancelled: %1 was not written").arg(output)
                                                : QStringLiteral("cancelled"));
        return 130;
    }
    if (nothingPlaced) {
        printLine(stderr, QStringLiteral("pagorra-batch: no picture could be read, so nothing was written"));
        return 1;
    }
    return result.outcome == GenerationResult::Outcome::Failed || totalsUnsure ? 1 : 0;
}
