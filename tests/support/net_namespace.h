#pragma once

#include <QString>

// A test that broadcasts runs inside a network namespace of its own, so that nothing it sends
// can reach a real network: the test program runs that one test function again under
// `unshare -n`, with the loopback interface up and 255.255.255.255 routed to it. The route
// names 127.0.0.1 as its source: without it a broadcast leaves from 0.0.0.0, and a peer that
// answers only loopback senders (velm-sim) would not answer.
//
//   void TestX::broadcastRead() {
//       if (!netns::isChild()) {
//           const netns::Outcome run = netns::runIsolated("broadcastRead");
//           if (run.kind == netns::Outcome::Unavailable)
//               QSKIP(qPrintable(run.text));
//           QVERIFY2(run.kind == netns::Outcome::Passed, qPrintable(run.text));
//           return;
//       }
//       QVERIFY2(netns::isolated(), "not in a namespace of our own: no broadcast");
//       ... the test proper ...
//   }
namespace netns {

struct Outcome {
    enum Kind { Passed, Failed, Unavailable };
    Kind kind = Failed;
    QString text; // why it could not run, or the child's output when it failed
};

// What the namespace holds besides "lo" up. SecondInterface adds a veth pair made inside it
// (kSecondInterface, 10.213.0.1/24, and its peer), and routes the limited broadcast there
// instead of to "lo": a broadcast that follows the routing table leaves by it.
enum class Setup { LoopbackOnly, SecondInterface };
inline constexpr const char* kSecondInterface = "velm0";

// True in the copy of the test program that runIsolated started.
bool isChild();
// True when every network interface is a loopback one (a fresh namespace has only "lo"), or,
// for SecondInterface, one that the namespace's setup made.
bool isolated(Setup setup = Setup::LoopbackOnly);
// Runs `testFunction` of this program in a new network namespace and waits for it.
Outcome runIsolated(const QString& testFunction, int timeoutMs = 120000,
                    Setup setup = Setup::LoopbackOnly);

} // namespace netns
