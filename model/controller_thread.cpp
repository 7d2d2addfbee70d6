#include "controller_thread.h"

#include "controller.h"
#include "thread_handoff.h"

#include <QThread>

ControllerThread::ControllerThread(HidBackend &backend, Threading threading, QObject *parent)
    : QObject(parent)
    , controller_(std::make_unique<Controller>(backend))
    // Its child: it moves to the worker with it and ends with it.
    , worker_jobs_(new ThreadHandOff(controller_.get()))
    , caller_jobs_(new ThreadHandOff(this))
{
    qRegisterMetaType<ControllerStatus>();
    qRegisterMetaType<ManualChange>();
    status_ = controller_->status();
    applied_config_ = controller_->stored_config();

    // The Controller's signals are taken on its own thread, where its state
    // can be read; only copies go on to this one.
    Controller *controller = controller_.get();
    connect(controller, &Controller::status_value_changed, this, [this](const ControllerStatus &now) {
        deliver([this, now] {
            status_ = now;
            status_.edits_pending = edits_pending_;
            emit status_changed(status_);
        });
    }, Qt::DirectConnection);
    connect(controller, &Controller::configuration_loaded, this, [this, controller] {
        const ConfigBlock config = controller->stored_config();
        deliver([this, config] {
            applied_config_ = config;
            emit configuration_loaded(config);
        });
    }, Qt::DirectConnection);
    connect(controller, &Controller::configuration_changed_elsewhere, this,
            [this](ChangeSource via, const QDateTime &at) {
                deliver([this, via, at] { emit configuration_changed_elsewhere(via, at); });
            }, Qt::DirectConnection);
    connect(controller, &Controller::identification_failed, this, [this](int version_found) {
        deliver([this, version_found] { emit identification_failed(version_found); });
    }, Qt::DirectConnection);
    connect(controller, &Controller::manual_change, this, [this](const ManualChange &change) {
        deliver([this, change] { emit manual_change(change); });
    }, Qt::DirectConnection);
    connect(controller, &Controller::coupling_progress, this, [this](int step, int steps) {
        deliver([this, step, steps] { emit coupling_progress(step, steps); });
    }, Qt::DirectConnection);
    connect(controller, &Controller::coupling_finished, this, [this](const CouplingResult &result) {
        deliver([this, result] { emit coupling_finished(result); });
    }, Qt::DirectConnection);

    if (threading == Threading::worker) {
        // Every consumer on this thread (views, D-Bus, the history) takes
        // fewer statuses, and none wakes for a reading nobody would see.
        controller_->pace_readings(true);
        worker_ = new QThread(this);
        worker_->setObjectName(QStringLiteral("controller"));
        controller_->moveToThread(worker_);
        worker_->start();
    }
}

// The Controller and its timers end on their own thread, after the exchange
// under way; then the thread ends.
ControllerThread::~ControllerThread()
{
    if (!worker_)
        return;
    worker_jobs_->post_and_wait([controller = controller_.release()] { delete controller; });
    worker_->quit();
    worker_->wait();
}

void ControllerThread::share_device(bool shared)
{
    run([shared](Controller &controller) { controller.share_device(shared); });
}

void ControllerThread::follow_hot_plug(bool followed)
{
    run([followed](Controller &controller) { controller.follow_hot_plug(followed); });
}

void ControllerThread::reopen(const ControllerIdentity &identity)
{
    identity_ = identity;
    run([identity](Controller &controller) { controller.reopen(identity); });
}

// The answers of the actions that were waiting are delivered before
// `released`: both come from the Controller's thread, in order.
void ControllerThread::release(std::function<void()> released)
{
    identity_ = ControllerIdentity();
    run([this, released = std::move(released)](Controller &controller) {
        controller.reopen(ControllerIdentity());
        deliver(released);
    });
}

// Runs after the job under way: the exchange it was in is over.
void ControllerThread::sleep(std::function<void()> ready)
{
    run([this, ready = std::move(ready)](Controller &controller) {
        controller.sleep();
        deliver(ready);
    });
}

void ControllerThread::wake(const ControllerIdentity &identity)
{
    identity_ = identity;
    run([identity](Controller &controller) { controller.wake(identity); });
}

void ControllerThread::retry_open()
{
    run([](Controller &controller) { controller.retry_open(); });
}

void ControllerThread::start()
{
    run([](Controller &controller) { controller.start(); });
}

void ControllerThread::stop()
{
    run([](Controller &controller) { controller.stop(); });
}

void ControllerThread::set_quiet(bool quiet)
{
    run([quiet](Controller &controller) { controller.set_quiet(quiet); });
}

void ControllerThread::run(std::function<void(Controller &)> job)
{
    worker_jobs_->post([controller = controller_.get(), job = std::move(job)] { job(*controller); });
}

void ControllerThread::deliver(std::function<void()> deliver)
{
    caller_jobs_->post(std::move(deliver));
}

std::function<void(const Outcome &)> ControllerThread::answer(Reply reply)
{
    if (!reply)
        return {};
    // This object outlives the Controller (see the destructor), so an
    // answer never arrives at a destroyed one.
    return [this, reply = std::move(reply)](const Outcome &outcome) {
        deliver([reply, outcome] { reply(outcome); });
    };
}

bool ControllerThread::refused_as_closing(const Reply &reply) const
{
    if (closing_ && reply)
        reply(Outcome::refused(Refusal::closing));
    return closing_;
}

void ControllerThread::apply(const ConfigBlock &config, ChangeSource source, Reply reply)
{
    if (refused_as_closing(reply))
        return;
    emit action_asked();
    if (const Refusal why = controller_->claim_apply(); why != Refusal::none) {
        if (reply)
            reply(Outcome::refused(why));
        return;
    }
    run([config, source, answered = answer(std::move(reply))](Controller &controller) {
        const Outcome outcome = controller.apply_config(config, source);
        if (answered)
            answered(outcome);
    });
}

void ControllerThread::set_manual(bool manual, ChangeSource source, Reply reply)
{
    if (refused_as_closing(reply))
        return;
    emit action_asked();
    const RegulationMode mode = manual ? RegulationMode::manual : RegulationMode::automatic;
    run([mode, source, answered = answer(std::move(reply))](Controller &controller) {
        controller.set_wanted_mode(mode, source, answered);
    });
}

void ControllerThread::set_manual_level(int level, ChangeSource source, Reply reply)
{
    if (refused_as_closing(reply))
        return;
    emit action_asked();
    run([level, source, answered = answer(std::move(reply))](Controller &controller) {
        controller.set_manual_level(level, source, answered);
    });
}

void ControllerThread::step(int direction, ChangeSource source, Reply reply)
{
    if (refused_as_closing(reply))
        return;
    emit action_asked();
    run([direction, source, answered = answer(std::move(reply))](Controller &controller) {
        controller.pwm_width_step(direction * Controller::HOTKEY_PWM_STEP, source, answered);
    });
}

void ControllerThread::end(Reply reply)
{
    if (refused_as_closing(reply))
        return;
    closing_ = true;
    run([answered = answer(std::move(reply))](Controller &controller) {
        const Outcome outcome = controller.end();
        if (answered)
            answered(outcome);
    });
}

void ControllerThread::when_loaded(Reply reply)
{
    if (refused_as_closing(reply))
        return;
    run([answered = answer(std::move(reply))](Controller &controller) { controller.when_loaded(answered); });
}

void ControllerThread::set_edits_pending(bool pending)
{
    if (pending == edits_pending_)
        return;
    edits_pending_ = pending;
    status_.edits_pending = pending;
    run([pending](Controller &controller) { controller.set_edits_pending(pending); });
}

void ControllerThread::start_coupling(Reply reply)
{
    if (refused_as_closing(reply))
        return;
    emit action_asked();
    run([answered = answer(std::move(reply))](Controller &controller) { controller.start_coupling(answered); });
}

void ControllerThread::cancel_coupling()
{
    run([](Controller &controller) { controller.cancel_coupling(); });
}
