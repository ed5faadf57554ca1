#include "web/web_api.h"

#include "web/sign_settings_json.h"
#include "web_assets.h"

#include "signfeed/announcement.h"

namespace orlavo::tools {

namespace {

using nlohmann::json;

constexpr std::string_view kApi = "/api/v1/";
constexpr std::string_view kSigns = "/api/v1/signs";
constexpr int kDefaultMinutes = 10;

bool nestsTooDeep(const std::string& body)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : body) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if ((c == '[' || c == '{') && ++depth > kMaxJsonDepth) {
            return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

WebResponse replyResponse(const BoardReply& reply, int okStatus)
{
    switch (reply.status) {
    case BoardReply::Status::Ok:
        return jsonResponse(okStatus, json{{"message", reply.message}});
    case BoardReply::Status::BadRequest:
        return errorResponse(400, reply.message);
    case BoardReply::Status::NotFound:
        break;
    }
    return errorResponse(404, reply.message);
}

WebResponse noSign(std::string_view name)
{
    return errorResponse(404, "there is no sign named \"" + std::string(name) + "\"");
}

WebResponse wrongMethod(const WebRequest& request)
{
    return errorResponse(405, request.method + " is not allowed on " + request.path);
}

WebResponse unauthorized()
{
    WebResponse response = errorResponse(401, "this needs the token: log in, or send Authorization: Bearer TOKEN");
    response.headers.emplace_back("WWW-Authenticate", "Bearer");
    return response;
}

WebResponse redirectHome(std::string cookie)
{
    WebResponse response{303, "text/plain; charset=utf-8", "See /\n", {{"Location", "/"}}};
    if (!cookie.empty()) {
        response.headers.emplace_back("Set-Cookie", std::move(cookie));
    }
    return response;
}

// The announcement's minutes: absent is the default; anything else a whole number in range.
std::optional<int> minutesOf(const json& body)
{
    auto it = body.find("minutes");
    if (it == body.end()) {
        return kDefaultMinutes;
    }
    if (it->is_number_unsigned() && it->get<std::uint64_t>() >= 1 &&
        it->get<std::uint64_t>() <= static_cast<std::uint64_t>(signfeed::kAnnounceMinutesMax)) {
        return static_cast<int>(it->get<std::uint64_t>());
    }
    return std::nullopt;
}

// The Host header without its port: "127.0.0.1", "[::1]", "signbox".
std::string_view hostName(std::string_view host)
{
    if (!host.empty() && host.front() == '[') {
        return host.substr(0, host.find(']') + 1);
    }
    return host.substr(0, host.rfind(':'));
}

bool loopbackName(std::string_view name)
{
    const bool ipLiteral = !name.empty() && (name.front() == '[' || name.find_first_not_of("0123456789.") ==
                                                                          std::string_view::npos);
    return ipLiteral || name == "localhost";
}

// A page of another site may make the browser send requests here, with the
// cookie or to an open loopback listener: a change it asks for (announce,
// settings) is refused when the browser says it comes from elsewhere, and an
// open listener answers only to the names loopback has, so a name of the
// other site's that now leads to 127.0.0.1 gets nothing.
std::optional<WebResponse> foreignPage(const WebRequest& request, bool open)
{
    if (!request.origin.empty() && request.method != "GET" && request.method != "HEAD") {
        const std::size_t scheme = request.origin.find("://");
        if (scheme == std::string::npos || request.origin.substr(scheme + 3) != request.host) {
            return errorResponse(403, "a page of another site may not use this API");
        }
    }
    if (open) {
        if (!request.host.empty() && !loopbackName(hostName(request.host))) {
            return errorResponse(403, "without a token the API answers only at the loopback address or localhost");
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<json, WebResponse> jsonBody(const std::string& body)
{
    if (nestsTooDeep(body)) {
        return errorResponse(400, "the body nests deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    json value = json::parse(body, nullptr, false);
    if (value.is_discarded()) {
        return errorResponse(400, "the body is not valid JSON");
    }
    if (!value.is_object()) {
        return errorResponse(400, "the body must be a JSON object");
    }
    return value;
}

namespace {

// The string at key, or nullptr when there is none.
const std::string* stringAt(const json& body, const char* key)
{
    auto it = body.find(key);
    return it != body.end() && it->is_string() ? &it->get_ref<const std::string&>() : nullptr;
}

}  // namespace

std::optional<WebResponse> WebApi::answerOffLoop(const WebRequest& request) const
{
    const std::string_view path = request.path;
    if (path.substr(0, kApi.size()) != kApi) {
        if (request.method != "GET" && request.method != "HEAD") {
            return wrongMethod(request);
        }
        if (path == "/" && request.queryToken) {
            // The token leaves the address bar; a wrong one sets nothing and the page asks.
            return redirectHome(m_auth.matches(*request.queryToken) ? m_auth.cookie() : std::string());
        }
        if (std::optional<WebAsset> asset = webAsset(path)) {
            return WebResponse{200, std::string(asset->contentType), std::string(asset->body), {}};
        }
        return errorResponse(404, "nothing is served at " + request.path);
    }
    if (path == "/api/v1/login") {
        if (request.method != "POST") {
            return wrongMethod(request);
        }
        const auto body = jsonBody(request.body);
        if (const auto* refusal = std::get_if<WebResponse>(&body)) {
            return *refusal;
        }
        const std::string* token = stringAt(std::get<json>(body), "token");
        if (token == nullptr) {
            return errorResponse(400, "the login needs {\"token\": \"...\"}");
        }
        if (m_auth.open()) {
            return WebResponse{204, {}, {}, {}};
        }
        if (!m_auth.matches(*token)) {
            return errorResponse(401, "the token is not right");
        }
        return WebResponse{204, {}, {}, {{"Set-Cookie", m_auth.cookie()}}};
    }
    if (std::optional<WebResponse> refusal = foreignPage(request, m_auth.open())) {
        return refusal;
    }
    if (!m_auth.allows(request)) {
        return unauthorized();
    }
    return std::nullopt;
}

WebResponse WebApi::answerOnLoop(const WebRequest& request)
{
    const std::string_view path = request.path;
    if (path == kSigns) {
        if (request.method != "GET") {
            return wrongMethod(request);
        }
        json list = json::array();
        for (const SignView& view : m_board.signs()) {
            list.push_back(signJson(view));
        }
        return jsonResponse(200, list);
    }
    if (path.size() > kSigns.size() + 1 && path.substr(0, kSigns.size() + 1) == "/api/v1/signs/") {
        std::string_view rest = path.substr(kSigns.size() + 1);
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        const std::string_view part = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        return signRoute(request, name, part);
    }
    return errorResponse(404, "there is no API route " + request.path);
}

WebResponse WebApi::signRoute(const WebRequest& request, std::string_view name, std::string_view part)
{
    const std::string sign(name);
    if (m_board.find(sign) == nullptr) {
        return noSign(sign);
    }
    if (part.empty()) {
        return request.method == "GET" ? jsonResponse(200, signJson(*m_board.sign(sign))) : wrongMethod(request);
    }
    if (part == "announce") {
        return announce(request, sign);
    }
    if (part == "update") {
        return request.method == "POST" ? replyResponse(m_board.updateNow(sign), 202) : wrongMethod(request);
    }
    if (part == "settings") {
        return settings(request, sign);
    }
    return errorResponse(404, "there is no API route " + request.path);
}

WebResponse WebApi::announce(const WebRequest& request, const std::string& name)
{
    if (request.method == "DELETE") {
        return replyResponse(m_board.clearAnnouncement(name), 200);
    }
    if (request.method != "POST") {
        return wrongMethod(request);
    }
    const auto body = jsonBody(request.body);
    if (const auto* refusal = std::get_if<WebResponse>(&body)) {
        return *refusal;
    }
    const std::string* text = stringAt(std::get<json>(body), "text");
    if (text == nullptr) {
        return errorResponse(400, "text must be a string");
    }
    std::optional<int> minutes = minutesOf(std::get<json>(body));
    if (!minutes) {
        return errorResponse(400, "minutes must be a whole number from 1 to " +
                                      std::to_string(signfeed::kAnnounceMinutesMax));
    }
    return replyResponse(m_board.announce(name, *text, *minutes), 200);
}

WebResponse WebApi::settings(const WebRequest& request, const std::string& name)
{
    const BoardSign* sign = m_board.find(name);
    if (sign == nullptr) {
        return noSign(name);
    }
    signfeed::MainWindowModel* window = &sign->program.window();
    if (request.method == "GET") {
        return jsonResponse(200, settingsJson(*window));
    }
    if (request.method != "PUT") {
        return wrongMethod(request);
    }
    const auto body = jsonBody(request.body);
    if (const auto* refusal = std::get_if<WebResponse>(&body)) {
        return *refusal;
    }
    if (std::optional<std::string> refused = applySettings(*window, std::get<json>(body))) {
        return errorResponse(400, *refused);
    }
    m_board.changed(name);
    return jsonResponse(200, settingsJson(*window));
}

std::vector<std::string> WebApi::signEvents() const
{
    std::vector<std::string> events;
    for (const SignView& view : m_board.signs()) {
        events.push_back(jsonText(signJson(view)));
    }
    return events;
}

std::string WebApi::signEvent(std::string_view name) const
{
    std::optional<SignView> view = m_board.sign(name);
    return view ? jsonText(signJson(*view)) : std::string();
}

}  // namespace orlavo::tools
