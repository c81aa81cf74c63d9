// What a gallery page shows, read from every frame of a Chromium page. The helpers look
// for what a visitor sees (pictures, their names, text), not for a particular markup, so the
// templates stay free in how they lay things out.

/** Polls `check` until it returns a truthy value; throws with `describe()` after `timeout` ms. */
export async function waitUntil(check, { timeout = 8000, interval = 100, describe = () => '' } = {}) {
  const end = Date.now() + timeout;
  let last;
  for (;;) {
    try {
      last = await check();
      if (last) return last;
    } catch (error) {
      last = error;
    }
    if (Date.now() > end) {
      const detail = typeof describe === 'function' ? await describe() : describe;
      throw new Error(`timed out: ${detail}${last instanceof Error ? ` (${last.message})` : ''}`);
    }
    await new Promise((done) => setTimeout(done, interval));
  }
}

/** The frames of `page` that a visitor can see (the main frame, and frames whose element shows). */
export async function visibleFrames(page) {
  const frames = [];
  for (const frame of page.frames()) {
    if (frame.isDetached()) continue;
    if (frame === page.mainFrame()) {
      frames.push(frame);
      continue;
    }
    try {
      const element = await frame.frameElement();
      // isVisible also rules out a frame hidden with visibility: hidden.
      const box = await element.boundingBox();
      if (box && box.width > 1 && box.height > 1 && (await element.isVisible())) frames.push(frame);
    } catch {
      // A frame that went away while we looked.
    }
  }
  return frames;
}

/**
 * Every img element in the frame with what the tests need: decoded file name of its source,
 * alt, loaded size, rendered box (inside the frame's viewport or not), object-fit, opacity.
 */
export function imagesIn(frame) {
  return frame.evaluate(() => {
    const shown = (element) => {
      for (let e = element; e; e = e.parentElement) {
        const style = getComputedStyle(e);
        if (style.display === 'none' || style.visibility === 'hidden' || Number(style.opacity) === 0) return false;
      }
      return true;
    };
    return [...document.images].map((img, index) => {
      const rect = img.getBoundingClientRect();
      let file = '';
      const src = img.currentSrc || img.src;
      try {
        const path = new URL(src).pathname;
        file = decodeURIComponent(path.slice(path.lastIndexOf('/') + 1));
      } catch {
        file = src;
      }
      const inView =
        rect.width > 0 && rect.height > 0 && rect.bottom > 0 && rect.right > 0 && rect.top < innerHeight && rect.left < innerWidth;
      return {
        index,
        file,
        src,
        alt: img.getAttribute('alt'),
        complete: img.complete,
        naturalWidth: img.naturalWidth,
        naturalHeight: img.naturalHeight,
        width: rect.width,
        height: rect.height,
        inView: inView && shown(img),
        objectFit: getComputedStyle(img).objectFit,
        loading: img.getAttribute('loading'),
        attrWidth: img.getAttribute('width'),
        attrHeight: img.getAttribute('height'),
      };
    });
  });
}

/**
 * The picture the visitor is looking at: the largest img in view over all visible frames,
 * leaving out lazily loaded thumbnails (with full-size pictures as thumbnails, a thumbnail
 * shows the same file as the picture view). Resolves to { frame, image } or null.
 */
export async function mainPicture(page) {
  let best = null;
  for (const frame of await visibleFrames(page)) {
    let images;
    try {
      images = await imagesIn(frame);
    } catch {
      continue;
    }
    for (const image of images) {
      if (!image.inView || image.loading === 'lazy') continue;
      const area = image.width * image.height;
      if (!best || area > best.area) best = { frame, image, area };
    }
  }
  return best;
}

/** Waits until the main picture is the loaded picture `name`; resolves to mainPicture's result. */
export async function waitForPicture(page, name, timeout = 8000) {
  let seen = null;
  return waitUntil(
    async () => {
      seen = await mainPicture(page);
      const ok = seen && seen.image.file === name && seen.image.complete && seen.image.naturalWidth > 0;
      return ok ? seen : null;
    },
    { timeout, describe: () => `picture ${name} shown; showing ${seen ? seen.image.file : 'nothing'}` },
  );
}

/**
 * The frame that shows the thumbnails of `pictures` (imgs whose alt is a picture's
 * name), and those images in picture order. Resolves to { frame, thumbs } or null.
 */
export async function thumbnailFrame(page, pictures) {
  // A thumbnail's text alternative is its picture's name, or its caption once the index page
  // has handed the captions over.
  const names = new Set(pictures.flatMap((p) => [p.display, p.caption].filter(Boolean)));
  for (const frame of await visibleFrames(page)) {
    let images;
    try {
      images = await imagesIn(frame);
    } catch {
      continue;
    }
    const thumbs = images.filter((image) => names.has(image.alt));
    if (thumbs.length > 0) return { frame, thumbs };
  }
  return null;
}

/** The text a visitor can read in the visible frames, joined. */
export async function visibleText(page) {
  const texts = [];
  for (const frame of await visibleFrames(page)) {
    try {
      texts.push(await frame.evaluate(() => document.body?.innerText ?? ''));
    } catch {
      // detached
    }
  }
  return texts.join('\n');
}

/** The links a visitor can see in the visible frames: [{ text, href }]. */
export async function visibleLinks(page) {
  const links = [];
  for (const frame of await visibleFrames(page)) {
    try {
      links.push(
        ...(await frame.evaluate(() =>
          [...document.querySelectorAll('a[href]')]
            .filter((a) => a.getClientRects().length > 0 && getComputedStyle(a).visibility !== 'hidden')
            .map((a) => ({
              text: a.innerText.trim(),
              href: a.href,
              // What else names the link for a visitor: its label or the alt text of its pictures.
              label: [a.getAttribute('aria-label') ?? '', ...[...a.querySelectorAll('img[alt]')].map((i) => i.alt)].join(' ').trim(),
            })),
        )),
      );
    } catch {
      // detached
    }
  }
  return links;
}

/**
 * True when the rendered box keeps the picture's proportions (or the image is fitted into
 * its box with object-fit contain / scale-down, which keeps them by itself). One pixel of
 * rounding on either side, plus 2 %, is allowed.
 */
export function keepsAspect(image, picture) {
  const ratio = picture.width / picture.height;
  const fits = ['contain', 'scale-down'].includes(image.objectFit);
  const naturalOk = Math.abs(image.naturalWidth / ratio - image.naturalHeight) <= 1.5 + image.naturalHeight * 0.02;
  if (fits) return naturalOk;
  const boxOk = Math.abs(image.width / ratio - image.height) <= 1.5 + image.height * 0.02;
  return naturalOk && boxOk;
}
