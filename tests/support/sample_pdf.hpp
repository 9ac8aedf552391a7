#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace skiff::test {

// A PDF of the given objects, numbered from 1; the first is the catalogue.
inline bool writePdfObjects(const std::filesystem::path& file,
                            const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        std::string number = std::to_string(offset);
        pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return static_cast<bool>(std::ofstream(file, std::ios::binary) << pdf);
}

inline std::string pdfStream(const std::string& dictionary, const std::string& content) {
    return "<< " + dictionary + " /Length " + std::to_string(content.size()) + " >>\nstream\n" +
           content + "endstream";
}

// A one-page PDF of width x height points, its left half red and its right half blue.
inline bool writePdf(const std::filesystem::path& file, int width, int height) {
    std::ostringstream content;
    content << "1 0 0 rg 0 0 " << width / 2 << ' ' << height << " re f\n"
            << "0 0 1 rg " << width / 2 << " 0 " << width - width / 2 << ' ' << height << " re f\n";
    return writePdfObjects(
        file, {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + ' ' +
                   std::to_string(height) + "] /Contents 4 0 R /Resources << >> >>",
               pdfStream("", content.str())});
}

// A few hundred bytes that take a renderer hours: each form draws the next one four times,
// depth levels deep, so the last one is drawn 4^depth times.
inline bool writeNestedFormsPdf(const std::filesystem::path& file, int depth = 24) {
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
        "/Resources << /XObject << /F 5 0 R >> >> >>",
        pdfStream("", "/F Do\n")};
    for (int level = 0; level < depth; ++level) {
        std::string next = std::to_string(objects.size() + 2) + " 0 R";
        std::string draws;
        for (const char* at : {"0 0", "100 0", "0 100", "100 100"})
            draws += "q 0.5 0 0 0.5 " + std::string(at) + " cm /F Do Q\n";
        objects.push_back(
            pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 200 200] "
                      "/Resources << /XObject << /F " +
                          next + " >> >>",
                      draws));
    }
    objects.push_back(pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 200 200]",
                                "1 0 0 rg 0 0 200 200 re f\n"));
    return writePdfObjects(file, objects);
}

}  // namespace skiff::test
