#include "hostsim/ProjectData.h"
#include "hostsim/TextLines.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <cmath>
#include <sstream>

namespace hostsim {

const TLayerData* TProjectData::FindLayer(std::int32_t id) const
{
    for (const TLayerData& layer : Layers)
        if (layer.Id == id)
            return &layer;
    return nullptr;
}

const TStyleData* TProjectData::FindStyle(std::int32_t id) const
{
    const auto it = Styles.find(id);
    return it == Styles.end() ? nullptr : &it->second;
}

namespace {

// One line split into words; Rest(i) gives the text from word i to the end of the line.
class TRecord {
public:
    TRecord(std::string line, int number) : FLine(std::move(line)), FNumber(number)
    {
        std::size_t i = 0;
        while (i < FLine.size()) {
            while (i < FLine.size() && (FLine[i] == ' ' || FLine[i] == '\t'))
                ++i;
            if (i >= FLine.size())
                break;
            const std::size_t start = i;
            while (i < FLine.size() && FLine[i] != ' ' && FLine[i] != '\t')
                ++i;
            FStarts.push_back(start);
            FWords.push_back(FLine.substr(start, i - start));
        }
    }

    std::size_t Count() const { return FWords.size(); }
    const std::string& Word(std::size_t i) const { return FWords.at(i); }

    [[noreturn]] void Fail(const std::string& message) const
    {
        throw EProjectFormat(Format("line %d: %s", FNumber, message.c_str()));
    }

    void Expect(std::size_t count, const char* usage) const
    {
        if (FWords.size() != count)
            Fail(Format("expected \"%s\"", usage));
    }
    void ExpectAtLeast(std::size_t count, const char* usage) const
    {
        if (FWords.size() < count)
            Fail(Format("expected \"%s\"", usage));
    }

    std::int32_t Int(std::size_t i) const
    {
        const std::string& w = Word(i);
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(w.c_str(), &end, 0);
        if (w.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > UINT32_MAX)
            Fail(Format("\"%s\" is not an integer", w.c_str()));
        return static_cast<std::int32_t>(value);
    }

    double Real(std::size_t i) const
    {
        const std::string& w = Word(i);
        std::istringstream in(w);
        in.imbue(std::locale::classic());
        double value = 0;
        in >> value;
        if (w.empty() || in.fail() || !in.eof())
            Fail(Format("\"%s\" is not a number", w.c_str()));
        return value;
    }

    // A vertex value: a number, or "nan", "inf" or "-inf" for an object damaged by another
    // program, which the Host hands out as it is.
    double VertexValue(std::size_t i) const
    {
        const std::string& w = Word(i);
        if (w == "nan")
            return std::numeric_limits<double>::quiet_NaN();
        if (w == "inf" || w == "-inf")
            return w[0] == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return Real(i);
    }

    std::string Rest(std::size_t i) const
    {
        if (i >= FWords.size())
            return {};
        std::string text = FLine.substr(FStarts[i]);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.pop_back();
        return text;
    }

private:
    std::string FLine;
    int FNumber;
    std::vector<std::string> FWords;
    std::vector<std::size_t> FStarts;
};

} // namespace

TProjectData ParseProject(const std::string& text)
{
    TProjectData project;
    TLayerData* layer = nullptr;
    TMapObjectData* object = nullptr;
    TShapeData* shape = nullptr;
    TPartData* part = nullptr;
    bool headerSeen = false;

    const std::vector<std::string> lines = TextLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        std::string line = lines[n];
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        const TRecord r(line, number);
        if (r.Count() == 0)
            continue;
        const std::string& kind = r.Word(0);
        if (!headerSeen) {
            if (kind != "orvex-project")
                r.Fail("the file does not start with \"orvex-project 1\"");
            r.Expect(2, "orvex-project 1");
            if (r.Int(1) != 1)
                r.Fail("unknown format version " + r.Word(1));
            headerSeen = true;
        } else if (kind == "title") {
            project.Title = r.Rest(1);
        } else if (kind == "view") {
            r.Expect(4, "view X Y SCALE");
            project.View = {true, r.Real(1), r.Real(2), r.Real(3)};
            if (!(project.View.Scale > 0))
                r.Fail("the scale must be positive");
        } else if (kind == "layer") {
            r.ExpectAtLeast(4, "layer ID PERMISSIONS NAME");
            TLayerData data;
            data.Id = r.Int(1);
            data.Permissions = r.Int(2);
            data.Name = r.Rest(3);
            if (project.FindLayer(data.Id))
                r.Fail(Format("layer %d is defined twice", data.Id));
            project.Layers.push_back(data);
            layer = &project.Layers.back();
        } else if (kind == "style") {
            r.ExpectAtLeast(6, "style ID FLAGS PERMISSIONS COLOR NAME");
            if (!layer)
                r.Fail("a style must follow its layer");
            TStyleData data;
            data.Id = r.Int(1);
            data.LayerId = layer->Id;
            data.Flags = r.Int(2);
            data.Permissions = r.Int(3);
            data.Color = static_cast<std::uint32_t>(r.Int(4)) & 0xFFFFFF;
            data.Name = r.Rest(5);
            if (project.FindStyle(data.Id))
                r.Fail(Format("style %d is defined twice", data.Id));
            project.Styles[data.Id] = data;
            layer->StyleIds.push_back(data.Id);
        } else if (kind == "active-layer") {
            r.Expect(2, "active-layer ID");
            project.ActiveLayerId = r.Int(1);
            if (!project.FindLayer(project.ActiveLayerId))
                r.Fail(Format("unknown layer %d", project.ActiveLayerId));
        } else if (kind == "object") {
            r.Expect(3, "object ID LAYER");
            TMapObjectData data;
            data.Id = r.Int(1);
            data.LayerId = r.Int(2);
            if (data.Id <= 0)
                r.Fail("object ids are positive");
            if (!project.FindLayer(data.LayerId))
                r.Fail(Format("unknown layer %d", data.LayerId));
            if (project.Objects.count(data.Id))
                r.Fail(Format("object %d is defined twice", data.Id));
            object = &(project.Objects[data.Id] = data);
            shape = nullptr;
            part = nullptr;
        } else if (kind == "shape") {
            r.Expect(3, "shape STYLE GEOMETRY");
            if (!object)
                r.Fail("a shape must follow its object");
            TShapeData data;
            data.StyleId = r.Int(1);
            const TStyleData* style = project.FindStyle(data.StyleId);
            if (!style)
                r.Fail(Format("unknown style %d", data.StyleId));
            if (style->LayerId != object->LayerId)
                r.Fail(Format("style %d belongs to another layer", data.StyleId));
            data.DefinesGeometry = r.Int(2) != 0;
            object->Shapes.push_back(data);
            shape = &object->Shapes.back();
            part = nullptr;
        } else if (kind == "part") {
            r.Expect(2, "part closed|open");
            if (!shape)
                r.Fail("a part must follow its shape");
            if (r.Word(1) != "closed" && r.Word(1) != "open")
                r.Fail("expected \"closed\" or \"open\"");
            shape->Contour.Parts.push_back({r.Word(1) == "closed", {}});
            part = &shape->Contour.Parts.back();
        } else if (kind == "v") {
            r.Expect(4, "v X Y CONVEXITY");
            if (!part)
                r.Fail("a vertex must follow its part");
            part->Vertices.push_back({r.VertexValue(1), r.VertexValue(2), r.VertexValue(3)});
        } else {
            r.Fail("unknown record \"" + kind + "\"");
        }
    }
    if (!headerSeen)
        throw EProjectFormat("the file is empty");
    return project;
}

bool ProjectExtent(const TProjectData& project, TFloatRect& extent)
{
    bool any = false;
    for (const auto& [id, object] : project.Objects)
        for (const TShapeData& shape : object.Shapes)
            for (const TPartData& part : shape.Contour.Parts)
                for (const TVertexData& v : part.Vertices) {
                    if (!std::isfinite(v.X) || !std::isfinite(v.Y))
                        continue; // a damaged vertex has no place on the map
                    const TFloatPoint p{v.X, v.Y};
                    if (!any)
                        extent = FloatRect(p, p);
                    else
                        IncludePoint(extent, p);
                    any = true;
                }
    return any;
}

} // namespace hostsim
