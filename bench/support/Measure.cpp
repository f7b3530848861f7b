#include "Measure.h"

#include <QFile>
#include <QThread>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

namespace zen::bench {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

namespace {

double vmRssMb(const QString& statusFile) {
    QFile status(statusFile);
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
    return -1;
}

} // namespace

double rssMb() {
    return vmRssMb("/proc/self/status");
}

double rssMb(qint64 pid) {
    return vmRssMb(QStringLiteral("/proc/%1/status").arg(pid));
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

std::vector<double> cpuPercentsDuring(const std::vector<qint64>& pids,
                                      const std::function<void()>& during) {
    std::vector<long long> before;
    for (qint64 pid : pids)
        before.push_back(cpuTicks(pid));
    const Clock::time_point start = Clock::now();
    during();
    const double seconds = msSince(start) / 1000.0;
    std::vector<double> percents;
    for (std::size_t i = 0; i < pids.size(); ++i)
        percents.push_back(100.0 * static_cast<double>(cpuTicks(pids[i]) - before[i]) /
                           static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds);
    return percents;
}

double cpuPercentOver(qint64 pid, int seconds) {
    return cpuPercentsDuring({pid},
                             [seconds] { QThread::sleep(static_cast<unsigned long>(seconds)); })[0];
}

} // namespace zen::bench
