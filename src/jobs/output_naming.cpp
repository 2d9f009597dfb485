#include "jobs/output_naming.h"

#include "jobs/input_choice.h"

namespace tarnwell {

std::string outputBase(std::string_view workdir, std::string_view stem) {
    std::string base(workdir);
    if (!base.empty() && base.back() != kPathSeparator) base += kPathSeparator;
    base += stem;
    return base;
}

std::string streamFileName(std::string_view base, std::string_view caption,
                           std::string_view extension) {
    std::string name(base);
    name += '.';
    name += caption;
    name += '.';
    name += extension;
    return name;
}

std::string ptsFileName(std::string_view base, std::string_view caption) {
    return streamFileName(base, caption, "pts");
}

std::string rebuiltFileName(std::string_view base) {
    std::string name(base);
    name += ".rebuilt.EVO";
    return name;
}

}  // namespace tarnwell
