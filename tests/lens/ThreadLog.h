#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <mutex>

// What a worker thread emitted, recorded on that thread as it emitted it
// (through a direct connection): in the worker's own order, each with the
// time it was emitted rather than when a busy machine let the test's thread
// hear of it.
class ThreadLog
{
public:
    struct Entry
    {
        QByteArray what;
        qint64 ms; // since the log was made
    };

    ThreadLog() { clock_.start(); }

    void add(const QByteArray& what)
    {
        std::lock_guard<std::mutex> lock(lock_);
        entries_.append({what, clock_.elapsed()});
    }
    QList<Entry> entries() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return entries_;
    }
    // The entries' texts from `from` on.
    QList<QByteArray> whats(int from = 0) const
    {
        QList<QByteArray> texts;
        for (const Entry& e : entries().mid(from))
            texts << e.what;
        return texts;
    }
    int size() const { return entries().size(); }
    int count(const QByteArray& what) const { return whats().count(what); }

private:
    mutable std::mutex lock_;
    QElapsedTimer clock_;
    QList<Entry> entries_;
};
