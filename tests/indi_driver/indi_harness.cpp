#include "indi_harness.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace indi_test {

namespace {
    int free_port()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    bool accepts(int port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return ok;
    }
} // namespace

std::string find_indiserver()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/indiserver";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

IndiServer::IndiServer(const std::vector<std::string>& drivers, const std::vector<std::string>& env)
{
    const std::string server = find_indiserver();
    if (server.empty()) {
        error_ = "indiserver is not installed";
        return;
    }
    char pattern[] = "/tmp/quillon-indi-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error_ = "no temporary folder";
        return;
    }
    home_ = pattern;
    port_ = free_port();
    const std::string port_text = std::to_string(port_);
    const std::string socket = home_ + "/indiserver.sock";
    const std::string log = home_ + "/indiserver.log";
    std::vector<std::string> args { server, "-p", port_text, "-u", socket };
    args.insert(args.end(), drivers.begin(), drivers.end());

    pid_ = ::fork();
    if (pid_ == 0) {
        // Its own process group, so the drivers go with it; and gone with
        // the test, however the test ends.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::setenv("HOME", home_.c_str(), 1);
        for (const std::string& e : env) {
            const std::size_t eq = e.find('=');
            ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        if (::chdir(home_.c_str()) != 0)
            ::_exit(126);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(server.c_str(), argv.data());
        ::_exit(127);
    }
    if (pid_ < 0) {
        error_ = "fork failed";
        return;
    }
    ::setpgid(pid_, pid_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!accepts(port_)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "indiserver ended at start";
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "indiserver does not listen";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

IndiServer::~IndiServer()
{
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (!home_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }
}

RecordingClient::~RecordingClient()
{
    disconnectServer();
}

bool RecordingClient::connect_to(int port, const std::string& device, const std::string& property)
{
    setServer("localhost", static_cast<unsigned int>(port));
    if (!connectServer())
        return false;
    const std::string key = device + "." + property;
    if (!wait_for([&] { return states_.count(key) != 0; }, std::chrono::seconds(10)))
        return false;
    setBLOBMode(B_ALSO, device.c_str(), nullptr);
    return true;
}

void RecordingClient::switch_on(
    const std::string& device, const std::string& property, const std::string& element, bool exclusive)
{
    INDI::BaseDevice dev = getDevice(device.c_str());
    INDI::PropertyView<ISwitch>* known = dev.getSwitch(property.c_str());
    std::vector<ISwitch> s;
    if (known != nullptr && exclusive) {
        for (int i = 0; i < known->nsp; ++i) {
            ISwitch one {};
            IUFillSwitch(&one, known->sp[i].name, "", element == known->sp[i].name ? ISS_ON : ISS_OFF);
            s.push_back(one);
        }
    } else {
        ISwitch one {};
        IUFillSwitch(&one, element.c_str(), "", ISS_ON);
        s.push_back(one);
    }
    ISwitchVectorProperty v {};
    IUFillSwitchVector(&v, s.data(), static_cast<int>(s.size()), device.c_str(), property.c_str(), "", "",
        IP_RW, ISR_1OFMANY, 0, IPS_IDLE);
    sendNewSwitch(INDI::Property(&v));
}

void RecordingClient::numbers(const std::string& device, const std::string& property,
    const std::vector<std::pair<std::string, double>>& values)
{
    std::vector<INumber> n(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        IUFillNumber(&n[i], values[i].first.c_str(), "", "%g", -1e9, 1e9, 0, values[i].second);
    INumberVectorProperty v {};
    IUFillNumberVector(&v, n.data(), static_cast<int>(n.size()), device.c_str(), property.c_str(), "", "",
        IP_RW, 0, IPS_IDLE);
    sendNewNumber(INDI::Property(&v));
}

void RecordingClient::text(const std::string& device, const std::string& property, const std::string& element,
    const std::string& value)
{
    IText t {};
    IUFillText(&t, element.c_str(), "", value.c_str());
    ITextVectorProperty v {};
    IUFillTextVector(&v, &t, 1, device.c_str(), property.c_str(), "", "", IP_RW, 0, IPS_IDLE);
    sendNewText(INDI::Property(&v));
    std::free(t.text);
}

bool RecordingClient::wait_for(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, done);
}

bool RecordingClient::wait_state(
    const std::string& property, IPState state, std::chrono::milliseconds timeout)
{
    return wait_for(
        [&] {
            const auto it = states_.find(property);
            return it != states_.end() && it->second == state;
        },
        timeout);
}

bool RecordingClient::wait_message(const std::string& part, std::chrono::milliseconds timeout)
{
    return wait_for(
        [&] {
            return std::any_of(messages_.begin(), messages_.end(),
                [&](const std::string& m) { return m.find(part) != std::string::npos; });
        },
        timeout);
}

bool RecordingClient::wait_blobs(std::size_t count, std::chrono::milliseconds timeout)
{
    return wait_for([&] { return blobs_.size() >= count; }, timeout);
}

bool RecordingClient::wait_number(const std::string& property, const std::string& element,
    const std::function<bool(double)>& ok, std::chrono::milliseconds timeout)
{
    const std::string key = property + "." + element;
    return wait_for(
        [&] {
            const auto it = numbers_.find(key);
            return it != numbers_.end() && ok(it->second);
        },
        timeout);
}

IPState RecordingClient::state(const std::string& property)
{
    std::lock_guard lock(mutex_);
    const auto it = states_.find(property);
    return it == states_.end() ? IPS_IDLE : it->second;
}

double RecordingClient::number(const std::string& property, const std::string& element)
{
    std::lock_guard lock(mutex_);
    const auto it = numbers_.find(property + "." + element);
    return it == numbers_.end() ? std::nan("") : it->second;
}

std::vector<Blob> RecordingClient::blobs()
{
    std::lock_guard lock(mutex_);
    return blobs_;
}

std::vector<std::string> RecordingClient::messages()
{
    std::lock_guard lock(mutex_);
    return messages_;
}

void RecordingClient::newProperty(INDI::Property property)
{
    record(property);
}

void RecordingClient::updateProperty(INDI::Property property)
{
    record(property);
}

void RecordingClient::record(INDI::Property property)
{
    const auto now = std::chrono::steady_clock::now();
    const std::string key = std::string(property.getDeviceName()) + "." + property.getName();
    Blob got;
    bool have_blob = false;
    {
        std::lock_guard lock(mutex_);
        states_[key] = property.getState();
        if (property.getType() == INDI_NUMBER) {
            INDI::PropertyView<INumber>* n = property.getNumber();
            for (int i = 0; i < n->nnp; ++i)
                numbers_[key + "." + n->np[i].name] = n->np[i].value;
        } else if (property.getType() == INDI_BLOB) {
            INDI::PropertyView<IBLOB>* b = property.getBLOB();
            for (int i = 0; i < b->nbp; ++i) {
                if (b->bp[i].bloblen <= 0 || b->bp[i].blob == nullptr)
                    continue;
                const auto* data = static_cast<const unsigned char*>(b->bp[i].blob);
                got.bytes.assign(data, data + b->bp[i].bloblen);
                got.format = b->bp[i].format;
                got.arrived = now;
                blobs_.push_back(got);
                have_blob = true;
            }
        }
    }
    changed_.notify_all();
    if (have_blob && on_blob)
        on_blob(got);
}

void RecordingClient::newMessage(INDI::BaseDevice device, int id)
{
    const auto now = std::chrono::steady_clock::now();
    const std::string text = device.messageQueue(static_cast<std::size_t>(id));
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    changed_.notify_all();
    if (on_message)
        on_message(text, now);
}

FitsImage read_fits(const std::vector<unsigned char>& bytes, const std::vector<std::string>& keywords)
{
    FitsImage image;
    std::vector<unsigned char> copy = bytes;
    void* memory = copy.data();
    std::size_t size = copy.size();
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_memfile(&f, "frame.fits", READONLY, &memory, &size, 0, nullptr, &status) != 0) {
        image.error = "cfitsio cannot open the frame (" + std::to_string(status) + ")";
        return image;
    }
    int bitpix = 0, naxis = 0;
    long axes[2] = { 0, 0 };
    fits_get_img_param(f, 2, &bitpix, &naxis, axes, &status);
    if (status == 0 && naxis == 2) {
        image.width = static_cast<int>(axes[0]);
        image.height = static_cast<int>(axes[1]);
        image.pixels.resize(std::size_t(image.width) * image.height);
        long first[2] = { 1, 1 };
        fits_read_pix(f, TDOUBLE, first, static_cast<LONGLONG>(image.pixels.size()), nullptr,
            image.pixels.data(), nullptr, &status);
    }
    for (const std::string& k : keywords) {
        char value[FLEN_VALUE] = "";
        int s = 0;
        if (fits_read_keyword(f, k.c_str(), value, nullptr, &s) == 0)
            image.cards[k] = value;
    }
    if (status != 0)
        image.error = "cfitsio status " + std::to_string(status);
    int closing = 0;
    fits_close_file(f, &closing);
    return image;
}

std::vector<std::pair<int, int>> bright_peaks(const FitsImage& image, double sigmas)
{
    std::vector<std::pair<int, int>> peaks;
    if (image.pixels.empty())
        return peaks;
    std::vector<double> sorted = image.pixels;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    for (double& v : sorted)
        v = std::fabs(v - median);
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double sigma = std::max(1.0, 1.4826 * sorted[sorted.size() / 2]);
    const double floor = median + sigmas * sigma;
    const int w = image.width, h = image.height;
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
            const double v = image.pixels[std::size_t(y) * w + x];
            if (v < floor)
                continue;
            bool highest = true;
            for (int dy = -2; dy <= 2 && highest; ++dy)
                for (int dx = -2; dx <= 2 && highest; ++dx)
                    if ((dx != 0 || dy != 0) && image.pixels[std::size_t(y + dy) * w + x + dx] >= v)
                        highest = false;
            // A star spreads its light; a hot pixel keeps it to itself.
            const double spill = median + 0.12 * (v - median);
            int lit = 0;
            for (const auto& [dx, dy] : { std::pair { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } })
                lit += image.pixels[std::size_t(y + dy) * w + x + dx] >= spill ? 1 : 0;
            if (highest && lit >= 3)
                peaks.emplace_back(x, y);
        }
    return peaks;
}

} // namespace indi_test
