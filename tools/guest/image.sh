# Where the guest's image lives, sourced by build.sh and run.sh. The image is
# keyed by what makes it (the recipe, its package list and the guest's init),
# so that a change to any of them makes a new one.
guest_dir=$(cd "${BASH_SOURCE[0]%/*}" && pwd)
guest_cache=${TAVRIN_GUEST_CACHE:-/var/cache/tavrin-guest}
guest_key=$(cat "$guest_dir/build.sh" "$guest_dir/packages" "$guest_dir/init.sh" | sha256sum)
guest_key=${guest_key:0:16}
guest_image=$guest_cache/$guest_key
