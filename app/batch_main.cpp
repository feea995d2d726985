// pagorra-batch: contact sheet pages from the command line, on the same engine as the
// desktop program.
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
#include "output/outputsettings.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
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
    if (const QString problem = outputProblem(parse.options.output); !problem.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + problem);
        return 1;
    }
    const BatchInputs inputs = listBatchInputs(parse.options.inputs);
    if (!inputs.error.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + inputs.error);
        return 2;
    }

    RegistrySettings settings = batchBaseSettings();
    applyBatchOptions(parse.options, settings);

    imageLibrary.join();
    // The run decodes several files at once on its own threads; more threads per file
    // would only compete with them.
    setThreadsPerLoad(1);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    TerminalProgress progress(stderr);
    GenerationRun run(settings, inputs.files, progress);
    const double resolution = pageOutput(settings.Output, QSize(settings.PageWidth, settings.PageHeight)).pixelsPerInch;
    PageFileWriter writer(parse.options.output, parse.options.multipage, writeOptionsFor(settings, resolution));
    run.setDecodingThreads(parse.options.jobs);
    run.setShard(parse.options.shardIndex, parse.options.shardCount);
    writer.setNumberEveryPage(parse.options.shardCount > 1);
    setLastAction(QStringLiteral("Making pages into '%1'").arg(parse.options.output));
    GenerationResult result = run.stream([&](const Page &page, int number) { writer.write(page, number); });
    if (result.outcome == GenerationResult::Outcome::CheckFailed) {
        printLine(stderr, result.message->text);
        return 1;
    }
    // A signal during the last page counts as well: the run had no entry left to stop before.
    const bool cancelled = result.outcome == GenerationResult::Outcome::Cancelled || progress.cancelRequested();
    // A slice past the last page has nothing to make, and that is no failure.
    const bool emptySlice = result.outcome == GenerationResult::Outcome::Completed && result.pageCount == 0;
    const bool nothingPlaced = result.outcome != GenerationResult::Outcome::Failed && result.placed == 0 && !emptySlice;
    if (nothingPlaced || (cancelled && writer.isMultipage())) {
        // A blank page is no result, and a document cut short must not stand in for the whole
        // one: an existing file of that name stays as it was.
        writer.abandon();
    } else if (result.outcome != GenerationResult::Outcome::Failed) {
        // Numbered pages are kept on a cancel, as the desktop program's cancel keeps its pages.
        try {
            writer.finish();
        } catch (const RuntimeError &e) {
            globalErrorHandler(e, writer.isMultipage() ? QStringLiteral("fncSaveMultiPageFromBitmaps")
                                                       : QStringLiteral("cmdSaveAll_Click"));
            result.outcome = GenerationResult::Outcome::Failed;
        }
    }

    for (const QString &file : writer.written())
        printLine(stdout, QStringLiteral("written: ") + file);
    printLine(stdout,
              QStringLiteral("%1 page(s) written, %2 picture(s) placed").arg(writer.pagesWritten()).arg(result.placed));
    if (!result.skippedFiles.isEmpty()) {
        printLine(stderr, QStringLiteral("%1 file(s) could not be read:").arg(result.skippedFiles.size()));
        for (const QString &file : result.skippedFiles)
            printLine(stderr, QStringLiteral("  ") + file);
    }
    if (cancelled) {
        printLine(stderr, writer.isMultipage()
                              ? QStringLiteral("cancelled: %1 was not written").arg(parse.options.output)
                              : QStringLiteral("cancelled"));
        return 130;
    }
    if (nothingPlaced) {
        printLine(stderr, QStringLiteral("pagorra-batch: no picture could be read, so nothing was written"));
        return 1;
    }
    return result.outcome == GenerationResult::Outcome::Failed ? 1 : 0;
}
