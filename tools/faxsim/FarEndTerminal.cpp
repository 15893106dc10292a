#include "FarEndTerminal.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <spandsp.h>

#include "EventSink.h"
#include "HdlcBurst.h"

namespace faxsim {

namespace {

constexpr int kVerboseLogLevel = static_cast<int>(SPAN_LOG_FLOW) |
                                 static_cast<int>(SPAN_LOG_SHOW_TAG) |
                                 static_cast<int>(SPAN_LOG_SHOW_SAMPLE_TIME);

constexpr std::uint8_t kFcfDcs = 0x82;
constexpr std::uint8_t kFcfDcn = 0xFA;
constexpr std::uint8_t kControlFinal = 0x13;

void LogToStandardError(int, const char* text) {
    std::fputs(text, stderr);
}

int SupportedModems(int maxRate) {
    int modems = static_cast<int>(T30_SUPPORT_V27TER);
    if (maxRate >= 7200) {
        modems |= static_cast<int>(T30_SUPPORT_V29);
    }
    if (maxRate >= 12000) {
        modems |= static_cast<int>(T30_SUPPORT_V17);
    }
    return modems;
}

std::string ResolutionName(int yResolution) {
    // Pixels per metre: 3850 normal (98 dpi), 7700 fine (196 dpi).
    if (yResolution <= 0) {
        return "unknown";
    }
    if (yResolution < 5000) {
        return "normal";
    }
    return yResolution < 10000 ? "fine" : "superfine";
}

// Station IDs arrive blank-padded to 20 characters.
std::string TrimmedIdent(const char* ident) {
    std::string text = ident ? ident : "";
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string FrameName(int fcf) {
    std::string name = t30_frametype(static_cast<std::uint8_t>(fcf));
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

} // namespace

FarEndTerminal::FarEndTerminal(const FarEndOptions& options, bool calling, std::string file,
                               bool temporary, EventSink& events, bool verbose)
    : options_(options), calling_(calling), file_(std::move(file)), temporary_(temporary),
      events_(events) {
    fax_ = fax_init(nullptr, calling ? TRUE : FALSE);
    t30_ = fax_get_t30_state(fax_);
    fax_set_transmit_on_idle(fax_, FALSE);
    t30_set_tx_ident(t30_, options_.ident.c_str());
    t30_set_ecm_capability(t30_, options_.ecm ? TRUE : FALSE);
    t30_set_supported_modems(t30_, SupportedModems(options_.maxRate));
    int resolutions = static_cast<int>(T30_SUPPORT_STANDARD_RESOLUTION) |
                      static_cast<int>(T30_SUPPORT_R8_RESOLUTION);
    if (options_.fine) {
        resolutions |= static_cast<int>(T30_SUPPORT_FINE_RESOLUTION);
    }
    t30_set_supported_resolutions(t30_, resolutions);
    if (calling) {
        t30_set_tx_file(t30_, file_.c_str(), -1, -1);
    } else {
        t30_set_rx_file(t30_, file_.c_str(), -1);
    }
    t30_set_phase_b_handler(t30_, &FarEndTerminal::PhaseB, this);
    t30_set_phase_d_handler(t30_, &FarEndTerminal::PhaseD, this);
    t30_set_phase_e_handler(t30_, &FarEndTerminal::PhaseE, this);
    t30_set_real_time_frame_handler(t30_, &FarEndTerminal::Frame, this);

    for (logging_state_t* log : {fax_get_logging_state(fax_), t30_get_logging_state(t30_)}) {
        span_log_set_message_handler(log, LogToStandardError);
        if (verbose) {
            span_log_set_level(log, kVerboseLogLevel);
            span_log_set_tag(log, "far");
        }
    }
    events_.Event(std::string("far start ") + (calling ? "calling" : "answering") +
                  " id=" + Quoted(options_.ident));
}

FarEndTerminal::~FarEndTerminal() {
    Terminate();
    fax_free(fax_);
}

void FarEndTerminal::Receive(std::int16_t* samples, int count) {
    if (!finished_ && !hangUp_ && !muted_) {
        fax_rx(fax_, samples, count);
    }
}

void FarEndTerminal::Transmit(std::int16_t* samples, int count) {
    if (hangUp_) {
        if (!hangUp_->Transmit(samples, count) && !finished_) {
            events_.Event("far hangup dcn");
            Terminate();
        }
        return;
    }
    int produced = 0;
    if (!finished_ && !muted_) {
        while (produced < count) {
            const int n = fax_tx(fax_, samples + produced, count - produced);
            if (n <= 0) {
                break;
            }
            produced += n;
        }
    }
    std::fill(samples + produced, samples + count, 0);
}

void FarEndTerminal::Terminate() {
    if (finished_) {
        return;
    }
    t30_terminate(t30_);
    if (!finished_) {
        ReportResult(T30_ERR_CALLDROPPED);
    }
}

int FarEndTerminal::PagesDone() const {
    t30_stats_t stats{};
    t30_get_transfer_statistics(t30_, &stats);
    return calling_ ? stats.pages_tx : stats.pages_rx;
}

int FarEndTerminal::PhaseB(t30_state_s* t30, void* user, int result) {
    auto* self = static_cast<FarEndTerminal*>(user);
    std::string line = "far phase-b " + FrameName(result);
    const std::string ident = TrimmedIdent(t30_get_rx_ident(t30));
    if (!ident.empty()) {
        line += " remote-id=" + Quoted(ident);
    }
    self->events_.Event(line);
    return T30_ERR_OK;
}

int FarEndTerminal::PhaseD(t30_state_s* t30, void* user, int result) {
    auto* self = static_cast<FarEndTerminal*>(user);
    t30_stats_t stats{};
    t30_get_transfer_statistics(t30, &stats);
    const int page = self->PagesDone();
    if (self->calling_) {
        self->events_.Event("far page " + std::to_string(page) + " response=" + FrameName(result));
    } else {
        self->events_.Event(
            "far page " + std::to_string(page) + " rows=" + std::to_string(stats.length) +
            " bad=" + std::to_string(stats.bad_rows) + " rate=" + std::to_string(stats.bit_rate) +
            " resolution=" + ResolutionName(stats.y_resolution) + " post=" + FrameName(result));
    }
    if (self->options_.hangUpAfterPage > 0 && page == self->options_.hangUpAfterPage &&
        !self->hangUp_) {
        self->StartHangUp();
    }
    if (self->options_.muteAfterPage > 0 && page == self->options_.muteAfterPage && !self->muted_) {
        self->muted_ = true;
        self->events_.Event("far mute after-page=" + std::to_string(page));
    }
    return T30_ERR_OK;
}

void FarEndTerminal::PhaseE(t30_state_s*, void* user, int result) {
    static_cast<FarEndTerminal*>(user)->ReportResult(result);
}

void FarEndTerminal::Frame(t30_state_s*, void* user, int incoming, const std::uint8_t* frame,
                           int length) {
    auto* self = static_cast<FarEndTerminal*>(user);
    if (!incoming && length >= 3 && (frame[2] & 0xFE) == kFcfDcs && self->onDcsSent) {
        self->onDcsSent();
    }
}

void FarEndTerminal::StartHangUp() {
    // The answering terminal sent DIS, so its frames carry X = 0; the calling terminal
    // received DIS and sets X.
    const std::uint8_t fcf = calling_ ? kFcfDcn | 0x01 : kFcfDcn;
    hangUp_ = std::make_unique<HdlcBurst>(std::vector<std::uint8_t>{0xFF, kControlFinal, fcf});
    events_.Event("far dcn after-page=" + std::to_string(options_.hangUpAfterPage));
}

void FarEndTerminal::ReportResult(int code) {
    if (finished_) {
        return;
    }
    finished_ = true;
    t30_stats_t stats{};
    t30_get_transfer_statistics(t30_, &stats);
    const int pages = calling_ ? stats.pages_tx : stats.pages_rx;
    std::string details =
        "pages=" + std::to_string(pages) + " rate=" + std::to_string(stats.bit_rate);
    details += " remote-id=" + Quoted(TrimmedIdent(t30_get_rx_ident(t30_)));
    if (!calling_) {
        std::error_code ignored;
        if (pages > 0 && !temporary_) {
            details += " rx-tiff=" + file_;
        } else {
            std::filesystem::remove(file_, ignored);
        }
    }
    events_.Event("far stats " + details);
    if (code == T30_ERR_OK) {
        events_.Event("result ok " + details);
    } else {
        events_.Event("result error " + std::to_string(code) + " " +
                      t30_completion_code_to_str(code));
    }
}

} // namespace faxsim
