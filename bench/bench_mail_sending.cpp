// Mail per second through one account to a local SMTP server (aiosmtpd), one connection
// per mail as the sending thread makes them.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "mail/email_account.h"
// Benchmarks link the core library only, so the test peers' helpers are compiled in here.
#include "support/sitesim_fixture.cpp"
#include "support/smtp_server_fixture.cpp"

namespace {

using namespace trawlix;

constexpr int cMails = 200;

void SendThroughOneAccount(benchmark::State& aState, const test::TSmtpTestServer::TOptions& aOptions) {
    setenv("TRAWLIX_CA_BUNDLE", test::TSmtpTestServer::CACertificate().c_str(), 1);
    test::TSmtpTestServer server(aOptions);
    auto account = std::make_shared<TEmailAccount>();
    account->SetSMTPHost(aOptions.starttls ? "localhost" : "127.0.0.1");
    account->SetSMTPPort(server.Port());
    account->SetUsername(aOptions.user.empty() ? "bench" : aOptions.user);
    account->SetPassword(aOptions.password);
    account->SetUseSSL(aOptions.starttls);
    TEmailMessage message;
    message.SetSubject("About your ad");
    message.SetBody("Hello,\nis it still available?\n\nThanks");

    std::mutex mutex;
    std::condition_variable done;
    int reported = 0;
    int failed = 0;
    auto callback = [&](TSendResult aResult, const std::string&) {
        std::lock_guard lock(mutex);
        ++reported;
        if (aResult != srOK) ++failed;
        done.notify_all();
    };
    for (auto _ : aState) {
        {
            std::lock_guard lock(mutex);
            reported = 0;
        }
        for (int i = 0; i < cMails; ++i) account->SendMessage(message, "seller@example.org", callback, 1, "", "");
        // Reading what the server took keeps its report pipe from filling up and stalling it.
        for (int i = 0; i < cMails; ++i) server.NextMail(30000);
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return reported == cMails; });
    }
    aState.SetItemsProcessed(aState.iterations() * cMails);
    aState.counters["failed"] = failed;
    unsetenv("TRAWLIX_CA_BUNDLE");
}

void BM_MailPlain(benchmark::State& aState) { SendThroughOneAccount(aState, {"127.0.0.1", false, "", "", ""}); }
BENCHMARK(BM_MailPlain)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_MailStartTLSWithLogin(benchmark::State& aState) {
    SendThroughOneAccount(aState, {"127.0.0.1", true, "alice", "secret", "LOGIN,PLAIN"});
}
BENCHMARK(BM_MailStartTLSWithLogin)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
