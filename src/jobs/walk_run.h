#pragma once

#include "jobs/walk_plan.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What one output of a walk test gave.
struct WalkResult {
    enum class Verdict { Untested, Works, DoesNot, Skipped, NoAnswer, Refused, Answered };

    WalkOutput output;
    Verdict verdict = Verdict::Untested;
    QString note;
    QDateTime time; // when the verdict was given
    QString technician;
    bool leftOn = false; // switched on (or set moving) and not put back yet

    // "untested", "works", "does-not", "skipped", "no-answer", "refused", "answered".
    static QString key(Verdict v);
    static std::optional<Verdict> verdictOf(const QString& key);
    // "not tested", "works", "does not work", "skipped", "no answer", "refused", "answered".
    static QString text(Verdict v);
    // Its line in a site's history: "Light 1, channel 3: does not work (no click)", and
    // "ok" or "error: does not work".
    QString historyDetail() const;
    QString historyOutcome() const;
    // A failure to hand over: it does not work, or the module did not take the request.
    bool failed() const {
        return verdict == Verdict::DoesNot || verdict == Verdict::NoAnswer ||
               verdict == Verdict::Refused;
    }
};

// One walk test run and its results file: a site's DIR/walk/YYYYMMDD-HHMMSS.json, else
// VELM.mdb.walk-YYYYMMDD-HHMMSS.json beside the record file. The file is written whole after
// every answer, so a run cut short (the program stopped, the machine off) keeps every answer
// given and which outputs were left on, and can be continued.
struct WalkRun {
    QString file;
    QDateTime started;
    QString technician;
    QString program; // "window" or "velm-cli"
    bool automatic = false; // --auto: only what answered was recorded
    bool stopped = false;   // Stop was pressed before the last output
    QStringList notes;      // modules that could not be walked, and why
    QList<WalkResult> results;

    // The first output not tested yet; -1 when every one was.
    int firstUntested() const;
    // The outputs switched on and not put back, as their titles.
    QStringList leftOn() const;
    int count(WalkResult::Verdict v) const;
    int failures() const;
    // "12 outputs: 10 work, 1 does not work, 1 skipped".
    QString summary() const;

    QByteArray toJson() const;
    // Throws RecordError naming the file and what is wrong in it.
    static WalkRun fromJson(const QByteArray& bytes, const QString& file);
    // Throws RecordError.
    static WalkRun load(const QString& file);
    // Writes the file whole; throws RecordError.
    void save() const;

    // Where the runs of this record file go (a site's folder when given), and the name of a
    // new run started at `time` (never one that exists).
    static QString newFile(const QString& recordFile, const QString& siteDir,
                           const QDateTime& time);
    // The run files there, oldest first.
    static QStringList files(const QString& recordFile, const QString& siteDir);
};
