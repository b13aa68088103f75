// Share links: the script travels in the page's URL, after "#code=", as base64url of its UTF-8
// bytes, so a link restores it without any server.
const PREFIX = '#code=';

export function shareUrl(text) {
    const bytes = new TextEncoder().encode(text);
    let binary = '';
    for (const b of bytes) binary += String.fromCharCode(b);
    const code = btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
    return `${location.origin}${location.pathname}${PREFIX}${code}`;
}

// The script of the current URL, or null when it carries none (or a damaged one).
export function sharedText() {
    if (!location.hash.startsWith(PREFIX)) return null;
    try {
        const code = location.hash.slice(PREFIX.length).replace(/-/g, '+').replace(/_/g, '/');
        const binary = atob(code);
        return new TextDecoder('utf-8', { fatal: true })
            .decode(Uint8Array.from(binary, (c) => c.charCodeAt(0)));
    } catch {
        return null;
    }
}
