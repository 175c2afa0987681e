.pragma library

// The addresses of the maker's web pages that the screens open in the system browser. Scheme and
// host are kept here alone; the screens only name the page.

const webSite = "https://www.velmor.com"
const supportSite = "https://support.velmor.com"

const supportUrl = supportSite + "/hc/en-us"
const termsOfServiceUrl = webSite + "/policies/terms-of-service"
const privacyPolicyUrl = webSite + "/policies/privacy-policy"
const kestrinChangeLogUrl = webSite + "/pages/kestrin-patch-notes"
const kestrin2ChangeLogUrl = webSite + "/pages/kestrin2-update-notes"
