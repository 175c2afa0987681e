.pragma library

// Links of notifications come from the news feed. They are opened only when they are web
// addresses, so that a feed entry cannot make the desktop open a local file or hand an
// address to some other registered program.
function isWebAddress(link) {
    return typeof link === "string" && /^\s*https?:\/\/\S/i.test(link)
}
