#include "core/batch_engine.h"

namespace quendrix {

BatchEngineBase::BatchEngineBase(JobRunnerBase& runner, QObject* parent)
    : QObject(parent), m_runner(&runner) {}

void BatchEngineBase::attach() {
    // Labels follow the counts once per collection, however many rows it wrote; the counts
    // of the last rows come before the end, which the same collection may carry.
    connect(m_runner, &JobRunnerBase::collected, this, [this] {
        if (m_countersDirty) {
            m_countersDirty = false;
            Q_EMIT countersChanged();
        }
    });
    connect(m_runner, &JobRunnerBase::ended, this, &BatchEngineBase::onEnded);
}

void BatchEngineBase::beginJob(JobId id) {
    m_current = id;
    m_counters = {};
    m_countersDirty = false;
}

void BatchEngineBase::stop() {
    if (m_current != 0) {
        m_runner->stop(m_current);
    }
}

void BatchEngineBase::onEnded(JobId id, const JobOutcome& outcome) {
    if (id != m_current) {
        return;
    }
    m_current = 0;
    m_outcome = outcome;
    if (outcome.kind == JobOutcome::Kind::Stopped) {
        return;
    }
    Q_EMIT finished();
}

}  // namespace quendrix
