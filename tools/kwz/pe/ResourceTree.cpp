// Resource identifiers, their order, and edits of the tree.
#include "tools/kwz/pe/ResourceTree.h"

#include <algorithm>

namespace {

char16_t FoldCase(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

template <typename T, typename GetId>
typename std::vector<T>::iterator FindOrInsert(std::vector<T>& list, const CResourceId& id, GetId getId)
{
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        const int order = CompareResourceIds(getId(*it), id);
        if (order == 0 && getId(*it) == id)
            return it;
        if (order > 0)
            break;
    }
    T fresh;
    getId(fresh) = id;
    return list.insert(it, std::move(fresh));
}

}  // namespace

CResourceId CResourceId::Number(uint32_t number)
{
    CResourceId id;
    id.number = number;
    return id;
}

CResourceId CResourceId::Name(const std::string& ascii)
{
    CResourceId id;
    id.named = true;
    for (char c : ascii)
        id.name += static_cast<char16_t>(static_cast<unsigned char>(c));
    return id;
}

bool CResourceId::operator==(const CResourceId& other) const
{
    return named == other.named && (named ? name == other.name : number == other.number);
}

std::string CResourceId::Describe() const
{
    if (!named)
        return std::to_string(number);
    std::string text = "\"";
    for (char16_t c : name)
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return text + "\"";
}

int CompareResourceIds(const CResourceId& a, const CResourceId& b)
{
    if (a.named != b.named)
        return a.named ? -1 : 1;
    if (!a.named)
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    const size_t common = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = FoldCase(a.name[i]);
        const char16_t y = FoldCase(b.name[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.name.size() < b.name.size() ? -1 : (a.name.size() > b.name.size() ? 1 : 0);
}

bool CResourceTableInfo::operator==(const CResourceTableInfo& o) const
{
    return characteristics == o.characteristics && timeDateStamp == o.timeDateStamp &&
           majorVersion == o.majorVersion && minorVersion == o.minorVersion;
}

bool CResourceData::operator==(const CResourceData& o) const
{
    return language == o.language && codePage == o.codePage && reserved == o.reserved && bytes == o.bytes;
}

bool CResourceName::operator==(const CResourceName& o) const
{
    return name == o.name && table == o.table && languages == o.languages;
}

bool CResourceType::operator==(const CResourceType& o) const
{
    return type == o.type && table == o.table && names == o.names;
}

bool CResourceTree::operator==(const CResourceTree& o) const
{
    return table == o.table && types == o.types;
}

void SetResource(CResourceTree& tree, const CResourceId& type, const CResourceId& name, CResourceData data)
{
    auto t = FindOrInsert(tree.types, type, [](CResourceType& x) -> CResourceId& { return x.type; });
    auto n = FindOrInsert(t->names, name, [](CResourceName& x) -> CResourceId& { return x.name; });
    n->languages.clear();
    n->languages.push_back(std::move(data));
}

bool RemoveResource(CResourceTree& tree, const CResourceId& type, const CResourceId& name)
{
    for (auto t = tree.types.begin(); t != tree.types.end(); ++t) {
        if (t->type != type)
            continue;
        for (auto n = t->names.begin(); n != t->names.end(); ++n) {
            if (n->name != name)
                continue;
            t->names.erase(n);
            if (t->names.empty())
                tree.types.erase(t);
            return true;
        }
    }
    return false;
}

const CResourceType* FindResourceType(const CResourceTree& tree, const CResourceId& type)
{
    for (const CResourceType& t : tree.types)
        if (t.type == type)
            return &t;
    return nullptr;
}

const CResourceData* FindResource(const CResourceTree& tree, const CResourceId& type, const CResourceId& name)
{
    const CResourceType* t = FindResourceType(tree, type);
    if (t == nullptr)
        return nullptr;
    for (const CResourceName& n : t->names) {
        if (n.name != name || n.languages.empty())
            continue;
        for (const CResourceData& d : n.languages)
            if (!d.language.named && d.language.number == 0)
                return &d;
        return &n.languages.front();
    }
    return nullptr;
}
