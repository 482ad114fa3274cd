#pragma once
// A small JSON reader for the simulator's trace in tests: objects, arrays,
// strings, numbers, true/false/null. Throws std::runtime_error on bad input.
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct JValue {
    enum Kind { NUL, BOOL, NUM, STR, ARR, OBJ } kind = NUL;
    double num = 0;
    bool b = false;
    std::string str;
    std::vector<JValue> arr;
    std::map<std::string, JValue> obj;

    const JValue& operator[](const std::string& key) const {
        auto it = obj.find(key);
        if (kind != OBJ || it == obj.end()) throw std::runtime_error("no key " + key);
        return it->second;
    }
    const JValue& operator[](std::size_t i) const {
        if (kind != ARR || i >= arr.size()) throw std::runtime_error("bad index");
        return arr[i];
    }
    bool Has(const std::string& key) const { return kind == OBJ && obj.count(key) != 0; }
    int Int() const { return static_cast<int>(num); }
    std::size_t Size() const { return kind == ARR ? arr.size() : obj.size(); }
};

class JParser {
  public:
    explicit JParser(const std::string& text) : s_(text) {}
    JValue Parse() {
        JValue v = Value();
        Ws();
        if (p_ != s_.size()) Fail("trailing characters");
        return v;
    }

  private:
    [[noreturn]] void Fail(const char* what) {
        throw std::runtime_error(std::string("json: ") + what + " at " + std::to_string(p_));
    }
    void Ws() {
        while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_])))
            ++p_;
    }
    char Peek() {
        Ws();
        if (p_ >= s_.size()) Fail("unexpected end");
        return s_[p_];
    }
    void Expect(char c) {
        if (Peek() != c) Fail("unexpected character");
        ++p_;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (p_ < s_.size() && s_[p_] != '"') {
            char c = s_[p_++];
            if (c == '\\') {
                if (p_ >= s_.size()) Fail("bad escape");
                char e = s_[p_++];
                switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'u': {
                    if (p_ + 4 > s_.size()) Fail("bad escape");
                    out += static_cast<char>(std::strtol(s_.substr(p_, 4).c_str(), nullptr, 16));
                    p_ += 4;
                    break;
                }
                default:
                    out += e;
                }
            } else {
                out += c;
            }
        }
        if (p_ >= s_.size()) Fail("unterminated string");
        ++p_;
        return out;
    }
    JValue Value() {
        JValue v;
        char c = Peek();
        if (c == '{') {
            ++p_;
            v.kind = JValue::OBJ;
            if (Peek() == '}') {
                ++p_;
                return v;
            }
            for (;;) {
                std::string k = String();
                Expect(':');
                v.obj[k] = Value();
                if (Peek() == ',') {
                    ++p_;
                    continue;
                }
                Expect('}');
                return v;
            }
        }
        if (c == '[') {
            ++p_;
            v.kind = JValue::ARR;
            if (Peek() == ']') {
                ++p_;
                return v;
            }
            for (;;) {
                v.arr.push_back(Value());
                if (Peek() == ',') {
                    ++p_;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.kind = JValue::STR;
            v.str = String();
            return v;
        }
        if (s_.compare(p_, 4, "true") == 0) {
            p_ += 4;
            v.kind = JValue::BOOL;
            v.b = true;
            return v;
        }
        if (s_.compare(p_, 5, "false") == 0) {
            p_ += 5;
            v.kind = JValue::BOOL;
            return v;
        }
        if (s_.compare(p_, 4, "null") == 0) {
            p_ += 4;
            return v;
        }
        const char* start = s_.c_str() + p_;
        char* end = nullptr;
        v.num = std::strtod(start, &end);
        if (end == start) Fail("bad value");
        p_ += static_cast<std::size_t>(end - start);
        v.kind = JValue::NUM;
        return v;
    }
    const std::string& s_;
    std::size_t p_ = 0;
};

inline JValue ParseJson(const std::string& text) {
    return JParser(text).Parse();
}
