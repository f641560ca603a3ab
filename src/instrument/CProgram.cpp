#include "CProgram.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace {

const char* const kHead =
    R"(/* A session of the soft front panel for the 72-815 and 82-815 cards, replayed:
 * the same driver calls with the same arguments in the same order. It builds
 * as C (C89 and later) or C++: "cc FILE -lnv815_32". The waveform sample
 * files are read from the folder the program lies in, or from the folder its
 * first argument names. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <math.h>
#include <nv815.h>

static const char* sample_folder = ".";
static ViSession vi = 0;
static int call_number = 0;

/* Reports the first call that fails, with the driver's text, and stops. */
static void check(ViStatus status, const char* call) {
    char text[NV815_MESSAGE_BUFLEN] = "";
    ++call_number;
    if (status == VI_SUCCESS)
        return;
    if (vi != 0)
        nv815_error_message(vi, status, text);
    fprintf(stderr, "call %d failed: %s: status %08X %s\n", call_number, call,
            (unsigned)status, text);
    if (vi != 0)
        nv815_close(vi);
    exit(1);
}

static double not_a_number(void) {
    volatile double zero = 0.0;
    return zero / zero;
}

/* The folder of a path: what comes before its last "/", or "." for none. */
static char* folder_of(const char* path) {
    const char* slash = strrchr(path, '/');
    size_t length = slash == NULL ? 1 : (slash == path ? 1 : (size_t)(slash - path));
    char* folder = (char*)malloc(length + 1);
    if (folder == NULL)
        exit(1);
    memcpy(folder, slash == NULL ? "." : path, length);
    folder[length] = '\0';
    return folder;
}

/* The samples of a wave memory load, one value a line. */
static double* samples_from(const char* name, int count) {
    char* path = (char*)malloc(strlen(sample_folder) + strlen(name) + 2);
    double* samples = (double*)malloc(sizeof(double) * (size_t)(count > 0 ? count : 1));
    FILE* f;
    int i;
    if (path == NULL || samples == NULL)
        exit(1);
    strcpy(path, sample_folder);
    strcat(path, "/");
    strcat(path, name);
    f = fopen(path, "r");
    if (f == NULL) {
        fprintf(stderr, "cannot read %s\n", path);
        exit(1);
    }
    for (i = 0; i < count; ++i)
        if (fscanf(f, "%lf", &samples[i]) != 1) {
            fprintf(stderr, "%s holds fewer than %d values\n", path, count);
            exit(1);
        }
    fclose(f);
    free(path);
    return samples;
}

int main(int argc, char** argv) {
    ViInt32 id = 0;
    ViUInt32 first = 0, second = 0, third = 0;
    ViChar text[NV815_MESSAGE_BUFLEN], revision[NV815_REVISION_BUFLEN],
        instrument[NV815_REVISION_BUFLEN];
    double* samples = NULL;
    char* own_folder = folder_of(argc > 0 ? argv[0] : ".");
    sample_folder = argc > 1 ? argv[1] : own_folder;
    (void)id;
    (void)first;
    (void)second;
    (void)third;
    (void)text;
    (void)revision;
    (void)instrument;
    (void)samples;
    (void)not_a_number;

)";

} // namespace

std::string CStringLiteral(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        // '?' too: in ISO C "??/" is a backslash and "??!" a bar (trigraphs).
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

std::string CReal(double v) {
    if (std::isnan(v))
        return "not_a_number()";
    if (std::isinf(v))
        return v < 0 ? "-HUGE_VAL" : "HUGE_VAL";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Argument(const CallArgument& a) {
    if (const auto* i = std::get_if<int64_t>(&a))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&a))
        return CReal(*d);
    return CStringLiteral(std::get<std::string>(a));
}

// The outputs a function writes, after its inputs.
const std::map<std::string, std::string>& Outputs() {
    static const std::map<std::string, std::string> outputs = {
        {"nv815_init", "&vi"},
        {"nv815_GetCardId", "&id"},
        {"nv815_GetCalibrationDate", "&first, &second, &third"},
        {"nv815_MemoryTest", "&first, &second, &third"},
        {"nv815_revision_query", "revision, instrument"},
        {"nv815_error_message", "text"},
        {"nv815_LoadArbitraryWaveform", "samples"},
    };
    return outputs;
}

std::string Call(const DriverCall& c) {
    std::string args = c.function == "nv815_init" ? "" : "vi";
    for (const CallArgument& a : c.arguments)
        args += (args.empty() ? "" : ", ") + Argument(a);
    const auto out = Outputs().find(c.function);
    if (out != Outputs().end())
        args += (args.empty() ? "" : ", ") + out->second;
    return c.function + "(" + args + ")";
}

} // namespace

CProgram SessionProgram(const std::vector<DriverCall>& calls, const std::string& baseName) {
    CProgram program;
    const std::string head = kHead;
    std::string body;
    std::map<const SampleSnapshot*, std::string> files;
    for (const DriverCall& c : calls) {
        if (c.samples) {
            std::string& name = files[c.samples.get()];
            if (name.empty()) {
                name = baseName + "_wave" + std::to_string(files.size()) + ".txt";
                std::string text;
                char value[40];
                for (double v : c.samples->samples)
                    text.append(value, std::snprintf(value, sizeof value, "%.17g\n", v));
                program.sampleFiles.emplace_back(name, std::move(text));
            }
            const int64_t count = c.arguments.empty() ? 0 : std::get<int64_t>(c.arguments[0]);
            body += "    samples = samples_from(" + CStringLiteral(name) + ", " +
                    std::to_string(count) + ");\n";
        }
        const std::string call = Call(c);
        body += "    check(" + call + ", " + CStringLiteral(call) + ");\n";
        if (c.samples)
            body += "    free(samples);\n";
    }
    program.source = head + body +
                     "    if (vi != 0)\n        nv815_close(vi);\n"
                     "    free(own_folder);\n"
                     "    printf(\"%d calls made.\\n\", call_number);\n    return 0;\n}\n";
    return program;
}
