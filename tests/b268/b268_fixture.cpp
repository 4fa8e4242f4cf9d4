#include "b268_fixture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/events.h"

namespace korvat::test {

ScriptedController::ScriptedController() {
    thread_ = std::thread([this] { Loop(); });
}

ScriptedController::~ScriptedController() {
    running_ = false;
    thread_.join();
}

void ScriptedController::Answer(const std::string& query, std::deque<std::string> answers) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_[query] = std::move(answers);
}

std::string ScriptedController::Received() {
    // The line settles first: what the driver wrote last may still be under way.
    std::string before;
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> guard(lock_);
        if (i > 0 && received_ == before) break;
        before = received_;
    }
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

void ScriptedController::Reply(const std::string& query) {
    std::string answer;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = answers_.find(query);
        if (it == answers_.end() || it->second.empty()) return;
        answer = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
    }
    peer_.Send(answer);
}

void ScriptedController::Loop() {
    std::string query;  // the query being read: ESC and what followed it so far
    bool inQuery = false;
    while (running_) {
        std::string got = peer_.Receive(1, 10);
        if (got.empty()) continue;
        char c = got[0];
        {
            std::lock_guard<std::mutex> guard(lock_);
            received_ += c;
        }
        if (inQuery) {
            query += c;
            bool line = query.size() >= 2 && query.compare(0, 2, "O*") == 0;
            if ((!line && query.size() == 2) || (line && c == '\n')) {
                inQuery = false;
                if (line) query.resize(query.size() - 2);  // without CR LF
                Reply(query);
            }
        } else if (c == 27) {
            inQuery = true;
            query.clear();
        } else {
            std::string r;
            {
                std::lock_guard<std::mutex> guard(lock_);
                r = received_.size() >= 4 ? received_.substr(received_.size() - 4) : "";
            }
            if (r == "\rOX ") Reply("OX ");
        }
    }
}

void B268Test::SetUp() {
    cx268io = CCX268IO{};
    b = B268{};
    platform::ClearEvents();
    settings.Schnittstelle = 3;
    settings.Handshake = 1;
    settings.Baudrate = 9600;
    settings.Datenbits = 8;
    std::strcpy(settings.Dateiendung, "nc");
}

void B268Test::TearDown() {
    cx268io.pclose(2, 1);
    platform::ClearEvents();
    unsetenv("KORVAT_COM3");
}

void B268Test::OpenFile() {
    std::string base = dir.File("out");
    ASSERT_EQ(0, cx268io.popen(1, 0, &settings, base.c_str(), &openedBefore, 1));
}

std::string B268Test::Written() {
    cx268io.pclose(0, 1);
    return ReadFile(dir.File("out.nc"));
}

void B268Test::OpenPort(ScriptedController& controller) {
    setenv("KORVAT_COM3", controller.Path().c_str(), 1);
    ASSERT_EQ(0, cx268io.popen(1, 1, &settings, nullptr, &openedBefore, 1));
}

}  // namespace korvat::test
