#include "tools/scanner/link_rules.h"

#include "http/url_parser.h"

#include <optional>
#include <unordered_set>

namespace quendrix {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - ('a' - 'A'));
        }
    }
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return text;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Cuts the text before `mark` when it stands at its second character or later.
void CutFrom(std::string& text, char mark) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos && at >= 1) {
        text.erase(at);
    }
}

}  // namespace

// clang-format off
const std::array<std::string_view, 550> KnownExtensions = {
    "$$$", "@@@", "123", "12m", "386", "669", "abk", "acl", "acm", "acp", "act", "acv", "ad",
    "adb", "add", "adm", "adp", "adr", "af2", "af3", "afm", "ai", "aif", "alb", "all", "ams",
    "anc", "ani", "ans", "api", "apr", "aps", "arc", "arj", "art", "asa", "asc", "asd", "asf",
    "asm", "ast", "att", "avi", "awd", "b4", "bak", "bas", "bat", "bfc", "bg", "bi", "bif", "bin",
    "bk", "bk$", "bks", "bm1", "bmk", "bmp", "brx", "bs1", "bsp", "btm", "c", "cab", "cal", "cas",
    "cat", "cb", "ccb", "ccf", "cch", "ccm", "cda", "cdf", "cdi", "cdr", "cdt", "cdx", "cel",
    "cfb", "cfg", "cgm", "ch", "chk", "chp", "cil", "cim", "cin", "ck1", "ck2", "ck3", "ck4",
    "ck5", "ck6", "clp", "cls", "cmd", "cmf", "cmp", "cmv", "cmx", "cnf", "cnm", "cnq", "cnt",
    "cob", "cod", "cpd", "cpe", "cpi", "cpl", "cpp", "cpr", "cpt", "cpx", "crd", "crp", "crt",
    "csc", "csp", "csv", "ct", "ctl", "cue", "cur", "cut", "cv", "cwk", "cws", "cxx", "dat",
    "dbf", "dbx", "dcr", "dcs", "dcx", "ddf", "def", "der", "dib", "dic", "dif", "dir", "diz",
    "dlg", "dll", "dmf", "doc", "dot", "dpr", "drv", "drw", "dsg", "dsm", "dsp", "dsq", "dsw",
    "dwg", "dxf", "emf", "enc", "eps", "er1", "erx", "evy", "ewl", "exe", "f", "f77", "f90",
    "far", "fav", "fax", "fh3", "fif", "fits", "flc", "fli", "flt", "fmb", "fmt", "fmx", "fog",
    "fon", "for", "fot", "fp", "fp1", "fp3", "fpx", "frm", "frx", "gal", "gcp", "ged", "gem",
    "gen", "gfc", "gfi", "gfx", "gid", "gif", "gim", "gix", "gna", "gnx", "gra", "grd", "grp",
    "gt2", "gtk", "gwx", "gwz", "gz", "h", "hed", "hel", "hex", "hgl", "hlp", "hog", "hpj", "hpp",
    "hqx", "hst", "ht", "ica", "icb", "icm", "ico", "idd", "idq", "iff", "igf", "iif", "ima",
    "img", "inc", "inf", "ini", "inp", "ins", "iso", "isp", "isu", "it", "iw", "jar", "jbf",
    "jff", "jif", "jmp", "jn1", "jpeg", "jpg", "jtf", "kdc", "kfx", "kye", "lbm", "ldb", "leg",
    "lha", "lib", "lis", "log", "lpd", "lrc", "lst", "lwo", "lwp", "lzh", "lzs", "m3d", "mac",
    "mad", "maf", "mail", "mak", "mam", "map", "maq", "mar", "mas", "mat", "max", "maz", "mb1",
    "mcc", "mcs", "mcw", "mda", "mdb", "mde", "mdl", "mdn", "mdw", "mdz", "med", "mer", "met",
    "mi", "mic", "mid", "mmf", "mmm", "mod", "mov", "mp3", "mpe", "mpeg", "mpg", "mpp", "msg",
    "msn", "msp", "mtm", "mus", "mvb", "mwp", "nap", "ncb", "nsf", "nst", "ntf", "obd", "obj",
    "obz", "ocx", "ofn", "oft", "okt", "olb", "ole", "opt", "or2", "or3", "org", "p10", "p65",
    "pab", "pak", "pal", "pas", "pat", "pbk", "pbm", "pcd", "pcl", "pcs", "pct", "pcx", "pdf",
    "pdq", "pfa", "pfb", "pfc", "pfm", "pgl", "pgm", "pic", "pif", "pig", "pin", "pix", "pj",
    "pkg", "pl", "plt", "pm5", "pm6", "png", "pnt", "pot", "pp4", "ppa", "ppm", "pps", "ppt",
    "pre", "prf", "prn", "prs", "prz", "ps", "psd", "pst", "ptm", "pub", "pwd", "pwz", "pxl",
    "qad", "qbw", "qdt", "qlb", "qry", "qt", "qtm", "qxd", "r", "ra", "ram", "ras", "raw", "rc",
    "rec", "reg", "res", "rft", "rle", "rm", "rmi", "rov", "rpt", "rtf", "rtm", "s3m", "sam",
    "sav", "sc2", "scc", "scd", "sch", "scn", "scp", "scr", "sct", "sdl", "sdr", "sdt", "sea",
    "sep", "shb", "shg", "shs", "shw", "sit", "slk", "snd", "sqc", "sqr", "stm", "sty", "svx",
    "sys", "t2t", "tar", "taz", "tex", "tga", "tgz", "theme", "thn", "tif", "tiff", "tig", "tlb",
    "tmp", "trm", "trn", "ttf", "twf", "tww", "tx8", "txt", "udf", "ult", "url", "use", "vbp",
    "vbw", "vbx", "vcf", "vda", "vi", "vlb", "voc", "vp", "vsd", "vst", "vsw", "vxd", "wad",
    "wav", "wb1", "wb2", "wbk", "wbl", "wcm", "wdb", "web", "wgp", "wid", "wil", "wiz", "wk1",
    "wk3", "wk4", "wks", "wlf", "wll", "wmf", "wow", "wp", "wp4", "wp5", "wp6", "wpd", "wpg",
    "wps", "wpt", "wpw", "wq1", "wq2", "wri", "wrl", "ws1", "ws2", "ws3", "ws4", "ws5", "ws6",
    "ws7", "wsd", "wvl", "xar", "xla", "xlb", "xlc", "xld", "xlk", "xlm", "xls", "xlt", "xlv",
    "xlw", "xm", "xr1", "xtp", "xy3", "xy4", "xyp", "xyw", "yal", "ybk", "z", "zip", "zoo",
};
// clang-format on

bool IsKnownExtension(std::string_view type) {
    static const std::unordered_set<std::string_view> known(KnownExtensions.begin(),
                                                            KnownExtensions.end());
    return known.contains(type);
}

ResolvedLink ResolveLink(const std::string& raw, const TCrackUrl& page) {
    ResolvedLink link;
    const std::string upper = Upper(raw);
    if (upper.find("MAILTO:") != std::string::npos) {
        // The prefix is taken to stand at the start.
        link.type = "mail";
        link.address = raw.size() > 7 ? raw.substr(7) : std::string();
        CutFrom(link.address, '?');
        return link;
    }
    if (upper.find("JAVASCRIPT") != std::string::npos) {
        return link;
    }
    if (StartsWith(upper, "HTTP:") || StartsWith(upper, "HTTPS:")) {
        link.address = raw;
    } else {
        // The page's folder, never its full address: its query, user and password play no part,
        // and a last segment without "." is a folder.
        std::string base = page.Scheme + "://" + page.HostName;
        if (page.Port != 80) {
            base += ":" + std::to_string(page.Port);
        }
        base += page.PathKey;
        const std::optional<std::string> combined = http::CombineUrl(base, raw);
        if (!combined || combined->size() >= kCombinedAddressBuffer) {
            return link;
        }
        link.address = *combined;
    }
    CutFrom(link.address, '#');
    return link;
}

LinkClass ClassifyLink(const std::string& address) {
    LinkClass result{"unknown", "http"};
    std::string copy = address;
    const std::size_t separator = copy.find("://");
    if (separator != std::string::npos && separator >= 1) {
        result.scheme = Lower(copy.substr(0, separator));
        // So that the searches for "/" below skip them.
        copy[separator + 1] = '\\';
        copy[separator + 2] = '\\';
    }
    const std::size_t hash = copy.find('#');
    if (hash != std::string::npos && hash >= 1) {
        copy.erase(hash);
        result.type = "htm";
    } else if (copy.find_first_of("&?") != std::string::npos) {
        result.type = "htm";
    } else if (StartsWith(result.scheme, "http") && copy.find('.') != std::string::npos) {
        const std::size_t slash = copy.rfind('/');
        const std::size_t dot = copy.rfind('.');
        if (slash == std::string::npos || dot < slash) {
            result.type = "htm";
        } else if (dot + 1 < copy.size()) {
            result.type = copy.substr(dot + 1);
        }
    }
    if (result.type != "unknown" && result.type != "htm" && !IsKnownExtension(result.type)) {
        result.type = "htm";
    }
    if (result.type == "jpeg") {
        result.type = "jpg";
    } else if (result.type == "mpeg") {
        result.type = "mpg";
    }
    return result;
}

bool ContainsKeyword(const TMFStringList& words, const std::string& address) {
    const std::string lower = Lower(address);
    for (const TMFStringList::Entry& word : words.Entries()) {
        if (!word.text.empty() && lower.find(word.text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace quendrix
