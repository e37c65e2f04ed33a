#include "gui/main/WriterJobRunner.h"

#include <QEventLoop>
#include <utility>

#include "gui/common/Guarded.h"

namespace qzr::gui {

WriterJobRunner::WriterJobRunner(MainState& st, QObject* parent) : QObject(parent), st_(st) {}

WriterJobRunner::~WriterJobRunner() = default;  // a job still running is stopped and joined

void WriterJobRunner::start(JobScope scope, WriterJob::Work work, std::function<void()> done) {
    if (running()) return;
    job_ = std::make_unique<WriterJob>(st_, scope, std::move(work));
    done_ = std::move(done);
    const int number = ++number_;
    job_->start([this, number] {
        // Queued behind the messages the job sent, so they are all shown before its result is applied.
        QMetaObject::invokeMethod(
            this, [this, number] { ended(number); }, Qt::QueuedConnection);
    });
}

void WriterJobRunner::ended(int number) {
    if (!job_ || number != number_) return;
    const std::unique_ptr<WriterJob> job = std::move(job_);
    const std::function<void()> done = std::exchange(done_, nullptr);
    guarded(*st_.ui, [&] { job->finish(st_); });
    if (done) guarded(*st_.ui, done);
}

void WriterJobRunner::stop() {
    if (!stoppable()) return;
    job_->requestStop();
    ended(number_);
}

void WriterJobRunner::run(JobScope scope, const WriterJob::Work& work) {
    WriterJob job(st_, scope, work);
    QEventLoop loop;
    ++waiting_;
    job.start([&loop] {
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    --waiting_;
    job.finish(st_);
}

}  // namespace qzr::gui
